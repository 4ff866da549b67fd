#include "app/instance_merge.h"

#include <cstdio>

#include "app/arg_list.h"
#include "support/diag_log.h"

namespace skelvar {

std::optional<std::size_t> data_start(std::string_view head, bool skip_column_line) {
    bool in_header = true;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t lf = head.find('\n', pos);
        if (lf == std::string_view::npos) return std::nullopt;
        const std::string_view line = head.substr(pos, lf - pos);
        if (line.find('\0') != std::string_view::npos) return std::nullopt;
        pos = lf + 1;
        const bool empty = trim(line).empty();
        if (in_header && empty) {
            in_header = false;
            if (skip_column_line) continue;
        } else if (in_header || empty) {
            continue;
        }
        while (pos < head.size() && (head[pos] == '\r' || head[pos] == '\n')) ++pos;
        return pos;
    }
}

// The single run writes its results file in text mode, whose line end on this
// platform is LF; the merged file keeps that, so its lines match the single run's.
std::string merged_header(std::string_view header) {
    while (!header.empty() && (header.back() == '\n' || header.back() == '\r')) header.remove_suffix(1);
    if (header.empty()) return std::string();
    std::string out(header);
    out += "\n\n";
    return out;
}

std::optional<instance_data> locate_instance_data(const std::string& path, bool skip_column_line, diag_log* log) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        if (log) log->line("prob accessing %s - for merge", path.c_str());
        return std::nullopt;
    }
    char head[merge_scan_bytes];
    const std::size_t got = std::fread(head, 1, sizeof head, in);
    std::optional<instance_data> data;
    if (const auto start = data_start(std::string_view(head, got), skip_column_line);
        start && std::fseek(in, 0, SEEK_END) == 0) {
        const long size = std::ftell(in);
        if (size >= 0 && static_cast<std::uint64_t>(size) >= *start)
            data = instance_data{*start, static_cast<std::uint64_t>(size) - *start};
    }
    std::fclose(in);
    return data;
}

}  // namespace skelvar
