// Everything one entry's lines are written from, filled before the first line.
// One record is kept by the writer and refilled for every entry, so its buffers
// are reused instead of allocated per record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "report/timestamp_map.h"

namespace skelvar {

struct mft_entry_info;
struct report_context;
struct file_name_info;

// One name of the entry with the directory part of its path (UTF-8, in `texts`).
struct name_item {
    std::uint32_t name_off = 0, name_len = 0;
    std::uint32_t path_off = 0, path_len = 0;
    std::uint64_t parent_ref = 0;
    bool dos = false;
    // The $FILE_NAME the name came from (its times); null for the stand-in name of an
    // entry without one. Valid while the parsed entry lives.
    const file_name_info* fn = nullptr;
};

// Parts of the record a layout may not need; the cheap fields are always filled.
constexpr unsigned part_other_info = 1;
constexpr unsigned part_stream_info = 2;
constexpr unsigned part_time_flags = 4;  // in the other info
constexpr unsigned part_all = part_other_info | part_stream_info | part_time_flags;
// Leaves out the entry number, type and extension texts (a layout that shows none of them).
constexpr unsigned skip_labels = 8;

struct result_record {
    std::string entry_text;  // "0x0000002a" or "42"
    std::uint16_t sequence = 0;
    std::string_view type_text;      // "file", "dir", "del", "unalloc" (static text)
    std::string_view type_dos_text;  // type_text + " (FN 8.3)" (static text)
    std::string ext_text;
    std::uint32_t link_count = 0;
    std::uint64_t size = 0;  // data size of the unnamed data stream
    std::string other_info;
    std::string stream_info;
    std::string md5, sha1, sha256;
    bool md5_present = false, sha1_present = false, sha256_present = false;
    std::string header_bytes;
    bool header_as_strings = false;
    std::string extracted_path;
    std::uint64_t window_start = 0, window_stop = 0;  // 0 = none

    std::vector<name_item> names;
    std::string texts;
    timestamp_map times;

    std::string_view name(const name_item& n) const { return std::string_view(texts).substr(n.name_off, n.name_len); }
    std::string_view path(const name_item& n) const { return std::string_view(texts).substr(n.path_off, n.path_len); }
    // False when a time window is set and `t` lies outside it (a stop of 0 leaves it open).
    bool in_window(std::uint64_t t) const {
        if (window_start == 0) return true;
        return t >= window_start && (window_stop == 0 || t <= window_stop);
    }

    void clear();
};

// The fixed cells of the entry: entry number, type, extension, size, other info, streams.
void fill_result_record(const mft_entry_info& entry, const report_context& context, result_record& rec,
                        unsigned parts = part_all);

// The entry's names with their paths, and the timestamp map over them; a name whose
// path cannot be completed keeps its place under "<path corrupted>". Without
// `build_map` only the names are collected.
void collect_names_and_times(const mft_entry_info& entry, const report_context& context, result_record& rec,
                             bool build_map = true);

}  // namespace skelvar
