#include "report/result_record.h"

#include "ntfs/mft_entry_info.h"
#include "report/header_bytes.h"
#include "report/number_text.h"
#include "report/other_info.h"
#include "report/report_context.h"
#include "report/stream_info.h"
#include "support/utf8.h"

namespace skelvar {

void result_record::clear() {
    entry_text.clear();
    sequence = 0;
    type_text = {};
    type_dos_text = {};
    ext_text.clear();
    link_count = 0;
    size = 0;
    other_info.clear();
    stream_info.clear();
    md5.clear();
    sha1.clear();
    sha256.clear();
    md5_present = sha1_present = sha256_present = false;
    header_bytes.clear();
    header_as_strings = false;
    extracted_path.clear();
    window_start = window_stop = 0;
    names.clear();
    texts.clear();
    times.clear();
}

namespace {

// The name the record is shown by: its only name, else the first long name it holds itself.
const std::u16string* shown_name(const mft_entry_info& entry) {
    if (entry.file_names.size() == 1) return &entry.file_names.begin()->second.name;
    const file_name_info* held_elsewhere = nullptr;
    for (const auto& [key, fn] : entry.file_names) {
        (void)key;
        if (fn.name_space != ns_posix && !(fn.name_space & 1)) continue;
        if (fn.holder_entry == entry.entry_number) return &fn.name;
        if (!held_elsewhere) held_elsewhere = &fn;
    }
    return held_elsewhere ? &held_elsewhere->name : nullptr;
}

void append_extension(const mft_entry_info& entry, std::string& out) {
    const std::size_t start = out.size();
    const std::u16string* name = entry.is_directory() ? nullptr : shown_name(entry);
    if (name) {
        std::size_t dot = name->rfind(u'.');
        if (dot != std::u16string::npos && dot > 0) {
            std::u16string_view ext = std::u16string_view(*name).substr(dot + 1);
            while (!ext.empty() && ext.front() == u' ') ext.remove_prefix(1);
            while (!ext.empty() && ext.back() == u' ') ext.remove_suffix(1);
            uni::append_utf8(ext, out);
        }
    }
    if (out.size() == start) out += "none";
}

}  // namespace

void fill_result_record(const mft_entry_info& entry, const report_context& context, result_record& rec,
                        unsigned parts) {
    const report_options& opt = context.options;
    rec.clear();
    rec.sequence = entry.sequence_number;
    if (!(parts & skip_labels)) {
        append_number(rec.entry_text, entry.entry_number, opt.hex_numbers, 8);
        if (entry.from_unallocated) {
            rec.type_text = "unalloc";
            rec.type_dos_text = "unalloc (FN 8.3)";
        } else if (!entry.in_use()) {
            rec.type_text = "del";
            rec.type_dos_text = "del (FN 8.3)";
        } else if (entry.is_directory()) {
            rec.type_text = "dir";
            rec.type_dos_text = "dir (FN 8.3)";
        } else {
            rec.type_text = "file";
            rec.type_dos_text = "file (FN 8.3)";
        }
        append_extension(entry, rec.ext_text);
    }
    rec.link_count = entry.link_count();
    for (const auto& [key, row] : entry.catalogue) {
        (void)key;
        if (row.is_data && row.name.empty()) {
            rec.size = row.stream_size();
            break;
        }
    }
    // Cleared above: copied only when the entry holds them (most runs compute no digests).
    if (!entry.md5.empty()) rec.md5 = entry.md5;
    if (!entry.sha1.empty()) rec.sha1 = entry.sha1;
    if (!entry.sha256.empty()) rec.sha256 = entry.sha256;
    rec.md5_present = !rec.md5.empty();
    rec.sha1_present = !rec.sha1.empty();
    rec.sha256_present = !rec.sha256.empty();
    if (!entry.extracted_path.empty()) rec.extracted_path = entry.extracted_path;
    if (parts & part_other_info) append_other_info(entry, context, rec.other_info, parts & part_time_flags);
    if (parts & part_stream_info) append_stream_info(entry, opt, rec.stream_info);
    if (opt.header_wanted()) {
        rec.header_as_strings = opt.find_strings;
        for (const auto& [key, row] : entry.catalogue) {
            (void)key;
            if (!row.is_data || row.is_ads || !row.header_sampled) continue;
            if (!rec.header_bytes.empty()) rec.header_bytes += "; ";
            append_header_text(row.header_sample, rec.header_as_strings, "; ", rec.header_bytes);
        }
    }
    rec.window_start = context.window.start;
    rec.window_stop = context.window.stop;
}

}  // namespace skelvar
