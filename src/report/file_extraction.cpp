#include "report/file_extraction.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>

#include "ntfs/attribute_stream.h"
#include "report/extract_names.h"
#include "support/console.h"

namespace skelvar {

namespace {

constexpr std::string_view temp_suffix = "__temp__.bin";

// The text inside "<label>(...)" of the first matched-filter item with that label.
std::string_view matched_text(const selection_marks& marks, std::string_view label) {
    for (const std::string& m : marks.matched) {
        if (!m.starts_with(label) || m.size() <= label.size() || m.back() != ')') continue;
        return std::string_view(m).substr(label.size(), m.size() - label.size() - 1);
    }
    return {};
}

entry_state state_of(const mft_entry_info& entry) {
    if (entry.from_unallocated) return entry_state::deleted_unalloc;
    return entry.in_use() ? entry_state::valid : entry_state::deleted_mft;
}

// The name the copy is called by: the first long name, else any name.
std::u16string_view file_name_of(const mft_entry_info& entry) {
    const file_name_info* any = nullptr;
    for (const auto& [key, fn] : entry.file_names) {
        if (fn.name_space != ns_dos) return fn.name;
        if (!any) any = &fn;
    }
    return any ? std::u16string_view(any->name) : std::u16string_view(u"no_filename");
}

// The progress line of a long copy: the walk's line stands still meanwhile, so
// this one says how far the copy is, once a second after the first.
class copy_progress {
public:
    copy_progress(bool shown, std::uint64_t entry) : shown_(shown), entry_(entry) {}

    void operator()(std::uint64_t done, std::uint64_t total) {
        if (!shown_ || total == 0) return;
        const auto now = clock::now();
        if (now < next_) return;
        next_ = now + std::chrono::seconds(1);
        console::status_line("copying entry %llu: %llu%% done", entry_, done * 100 / total);
    }

private:
    using clock = std::chrono::steady_clock;
    bool shown_;
    std::uint64_t entry_;
    clock::time_point next_ = clock::now() + std::chrono::seconds(1);
};

bool all_zero(std::span<const std::uint8_t> bytes) {
    std::size_t i = 0;
    for (std::uint64_t word = 0; i + 8 <= bytes.size(); i += 8) {
        std::memcpy(&word, bytes.data() + i, 8);
        if (word) return false;
    }
    for (; i < bytes.size(); ++i)
        if (bytes[i]) return false;
    return true;
}

}  // namespace

std::string category_of(const selection_marks& marks) {
    if (marks.name) return category_folder_name(category_kind::name, matched_text(marks, "name("));
    if (marks.extension) return category_folder_name(category_kind::extension, matched_text(marks, "ext("));
    if (marks.directory) return category_folder_name(category_kind::directory, matched_text(marks, "dir("));
    if (marks.signature) return category_folder_name(category_kind::signature, marks.signature_label);
    if (marks.wildcard) return category_folder_name(category_kind::wildcard, {});
    if (marks.listed) return category_folder_name(category_kind::inodes, {});
    return category_folder_name(category_kind::catchall, {});
}

const host_folder* file_extractor::target_folder(const mft_entry_info& entry, std::string& error) {
    if (!root_tried_) {
        root_tried_ = true;
        root_ = host_folder::open_results(settings_.folder, root_error_);
    }
    if (!root_.is_open()) {
        error = root_error_;
        return nullptr;
    }
    const std::string_view state = state_folder_name(state_of(entry));
    std::string category = category_of(entry.marks);
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string key(state);
        key += '/';
        key += category;
        if (auto it = folders_.find(key); it != folders_.end()) return &it->second;
        host_folder folder = root_.subfolder(state, error);
        if (folder.is_open()) folder = folder.subfolder(category, error);
        if (folder.is_open()) return &folders_.emplace(std::move(key), std::move(folder)).first->second;
        // A category folder that cannot be made sends the copy to the catch-all one.
        if (category == "catchall") break;
        category = "catchall";
    }
    return nullptr;
}

stream_outcome file_extractor::copy(const mft_entry_info& entry, const catalogue_row& row, digest_choice digests) {
    stream_outcome out;
    const host_folder* folder = target_folder(entry, out.problem);
    if (!folder) return out;
    const std::string temp_name = settings_.temp_prefix + std::string(temp_suffix);
    host_output_file file = host_output_file::create(root_, temp_name, settings_.evidence, out.problem);
    if (!file.is_open()) return out;

    digests.md5 = true;
    digest_set hashes(digests);
    copy_progress progress(settings_.show_progress, entry.entry_number);
    const stream_bytes_result r = produce_attribute_bytes(
        row, volume_, settings_.bytes,
        [&](std::span<const std::uint8_t> bytes) {
            hashes.update(bytes);
            // Runs of zeros (sparse ranges above all) stay holes in the copy.
            return all_zero(bytes) ? file.skip(bytes.size()) : file.write(bytes);
        },
        std::ref(progress));
    out.status = r.status;
    const bool closed = file.close();
    const digest_texts texts = hashes.finish();
    if (!r.whole() || !closed || texts.md5.empty()) {
        discard_file(root_, temp_name, settings_.evidence);
        out.problem = !r.whole() ? r.message : !closed ? file.error() : hashes.error();
        if (r.status == stream_bytes_status::sink_refused && !file.error().empty()) out.problem = file.error();
        return out;
    }
    const std::string name = extracted_file_name(
        {entry.standard() ? entry.standard()->modified : 0, texts.md5, file_name_of(entry), row.name, row.label,
         settings_.use_orig_ext});
    if (place_file(root_, temp_name, *folder, name, settings_.evidence, out.problem) == placement::failed) return out;
    out.done = true;
    out.path = folder->path() + "/" + name;
    out.digests = texts;
    out.problem = r.message;  // a damaged compressed unit: the copy is kept, its faulty chunks zeros
    return out;
}

stream_outcome file_extractor::hash(const mft_entry_info& entry, const catalogue_row& row, digest_choice digests) {
    stream_outcome out;
    digest_set hashes(digests);
    copy_progress progress(settings_.show_progress, entry.entry_number);
    const stream_bytes_result r = produce_attribute_bytes(
        row, volume_, settings_.bytes,
        [&](std::span<const std::uint8_t> bytes) {
            hashes.update(bytes);
            return true;
        },
        std::ref(progress));
    out.status = r.status;
    const digest_texts texts = hashes.finish();
    out.problem = r.message;
    if (!r.whole()) return out;
    out.done = true;
    out.digests = texts;  // a digest the library refused stays empty
    if (!hashes.ok()) out.problem += (out.problem.empty() ? "" : "; ") + hashes.error();
    return out;
}

}  // namespace skelvar
