#include "app/instance_plan.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>

#include "app/arg_list.h"
#include "app/script_file.h"

namespace skelvar {

namespace {

std::uint64_t add_capped(std::uint64_t a, std::uint64_t b) {
    return a > std::numeric_limits<std::uint64_t>::max() - b ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

std::string hex(std::uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

std::string instance_suffix(unsigned index) {
    char buf[16];
    std::snprintf(buf, sizeof buf, ".%05u", index + 1);
    return buf;
}

}  // namespace

std::vector<instance_slice> plan_slices(unsigned instances, std::uint64_t start, std::uint64_t total,
                                        bool range_given) {
    std::vector<instance_slice> slices;
    if (total == 0) return slices;
    const std::uint64_t n = std::min<std::uint64_t>(std::max(instances, 1u), total);
    const std::uint64_t q = total / n;
    const std::uint64_t end = range_given ? add_capped(start, total) : total;
    for (std::uint64_t k = 0; k < n; ++k) {
        const std::uint64_t s = add_capped(start, k * q);
        const std::uint64_t left = end > s ? end - s : 0;
        const std::uint64_t count = k + 1 == n ? left : std::min(q, left);
        if (count == 0 && k > 0) break;
        slices.push_back({s, count});
    }
    return slices;
}

std::vector<std::string> instance_base_args(const std::vector<std::string>& typed) {
    arg_list args(typed);
    bool expanded = false;
    while (auto script = args.take_value("-script")) {
        if (expanded) continue;
        expanded = true;
        if (auto text = read_script_file(*script))
            for (std::string& token : script_tokens(*text)) args.append(std::move(token));
    }
    for (const char* option : {"-cpu", "-out", "-outfile", "-tempdir", "-cpuinst", "-mftstart", "-mftrange", "-signal"})
        while (args.take_value(option)) {
        }
    for (const char* flag : {"-profile", "-separate_files", "-fragment_files", "-quiet", "-append"})
        while (args.take_flag(flag)) {
        }
    return args.items();
}

std::vector<std::string> child_args(const std::vector<std::string>& base, const instance_slice& slice,
                                    unsigned index, const std::string& file) {
    std::vector<std::string> out = base;
    for (std::size_t i = 1; i + 1 < out.size(); ++i)
        if (option_matches(out[i], "-diags")) out[++i] += instance_suffix(index);
    for (std::string a : {std::string("-mftstart"), hex(slice.start), std::string("-mftrange"), hex(slice.count),
                          std::string("-quiet"), std::string("-cpuinst"), std::to_string(index),
                          std::string("-out"), file})
        out.push_back(std::move(a));
    return out;
}

std::string instance_folder(const std::string& tempdir, const std::string& out_path, bool separate_files) {
    std::string folder = !tempdir.empty() && !separate_files
                             ? tempdir
                             : std::filesystem::path(out_path).parent_path().string();
    if (folder.empty()) folder = ".";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string temp_file_path(const std::string& folder, unsigned index) {
    static constexpr char alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    thread_local std::mt19937_64 engine{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 2);
    std::string random(10, '0');
    for (char& c : random) c = alphabet[pick(engine)];
    return folder + std::to_string(index) + "_" + random + "_temp.bin";
}

std::string separate_file_path(const std::string& folder, const std::string& out_path, unsigned index) {
    return folder + std::filesystem::path(out_path).filename().string() + instance_suffix(index);
}

}  // namespace skelvar
