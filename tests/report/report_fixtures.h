// Parsed entries built in memory for the writer tests: no source needed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "ntfs/mft_entry_info.h"
#include "report/date_time.h"
#include "report/layout_writer.h"
#include "report/report_context.h"

namespace report_fixtures {

using namespace skelvar;

// 2000-01-01 00:00:00.123 and a few later instants.
constexpr std::uint64_t t0 = 125911584001234567ull;
constexpr std::uint64_t t1 = t0 + one_day_ticks;
constexpr std::uint64_t t2 = t0 + 2 * one_day_ticks;
constexpr std::uint64_t t3 = t0 + 3 * one_day_ticks;

inline mft_entry_info file_entry(std::uint64_t number, bool in_use = true, bool directory = false) {
    mft_entry_info e;
    e.entry_number = number;
    e.sequence_number = 3;
    std::uint16_t flags = (in_use ? record_in_use : 0) | (directory ? record_is_directory : 0);
    e.header.flags = flags;
    e.header.link_count = 1;
    return e;
}

inline void add_si(mft_entry_info& e, std::uint64_t created, std::uint64_t modified, std::uint64_t changed,
                   std::uint64_t accessed) {
    standard_info si;
    si.created = created;
    si.modified = modified;
    si.mft_changed = changed;
    si.accessed = accessed;
    e.standard_infos[make_attr_key(at_standard_information, 0)] = si;
}

// A $FILE_NAME.
inline attr_key add_fn(mft_entry_info& e, std::uint16_t id, std::uint64_t parent, std::u16string name,
                       std::uint8_t space, std::uint64_t time) {
    file_name_info fn;
    fn.parent_ref = parent;
    fn.created = fn.modified = fn.mft_changed = fn.accessed = time;
    fn.name = std::move(name);
    fn.name_space = space;
    fn.is_dos = space == ns_dos;
    fn.attr_id = id;
    fn.holder_entry = e.entry_number;
    attr_key key = make_attr_key(at_file_name, id);
    e.file_names[key] = fn;
    if (space != ns_dos) e.path_names[key] = fn;
    return key;
}

inline catalogue_row& add_data(mft_entry_info& e, std::uint16_t id, std::u16string name, std::uint64_t size,
                               bool non_resident = false) {
    catalogue_row& row = e.catalogue[make_attr_key(at_data, id)];
    row.name = std::move(name);
    row.label = row.name.empty() ? "unnamed data" : "ads";
    row.is_ads = !row.name.empty();
    row.is_data = true;
    row.type = at_data;
    row.non_resident = non_resident ? 1 : 0;
    if (non_resident)
        row.data_size = size;
    else
        row.value_length = static_cast<std::uint32_t>(size);
    if (row.name.empty()) e.has_unnamed_data = true;
    return row;
}

// A file with one long name whose eight times are all t0, and a small resident stream.
inline mft_entry_info simple_file() {
    mft_entry_info e = file_entry(0x2a);
    add_si(e, t0, t0, t0, t0);
    add_fn(e, 2, make_ref(5, 5), u"report.txt", ns_win32, t0);
    add_data(e, 1, u"", 0x10);
    return e;
}

// The output settings as the options leave them, and what the writers see of the source.
struct layout_ctx : report_options {
    time_window window;
    header_request header;
    path_resolver* paths = nullptr;
    const entry_reader* entries = nullptr;
    ntfs_volume* volume = nullptr;
    bool extracted_file = false;
    const extraction_settings* extraction = nullptr;

    report_context context() const {
        return {*this, window, header, paths, entries, volume, extracted_file, extraction};
    }
};

// The time format compiled from the patterns, as the option driver does it.
inline void compile_times(layout_ctx& ctx) {
    compile_date_time_format(ctx.date_pattern, ctx.time_pattern, ctx.pair_datetime, ctx.time_format);
}

// Writes every entry through a fresh writer of `make` and returns all lines, the header first.
template <class Make>
std::vector<std::string> write_lines(layout_ctx& ctx, Make make, const std::vector<mft_entry_info>& entries) {
    compile_times(ctx);
    std::ostringstream out;
    auto w = make(ctx.context(), out);
    for (const auto& e : entries) w->write(e);
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

inline void csv_options(layout_ctx& ctx) {
    ctx.csv = true;
    ctx.separator = ",";
    ctx.sep_char = ',';
    ctx.sub_char = ' ';
    ctx.no_padding = !ctx.pair_datetime;
}

inline void body_options(layout_ctx& ctx) {
    ctx.bodyfile = true;
    ctx.separator = "|";
    ctx.sep_char = '|';
    ctx.sub_char = ';';
    ctx.no_padding = true;
    ctx.space_before_time = false;
}

inline void l2t_options(layout_ctx& ctx) {
    ctx.csvl2t = true;
    ctx.l2t_extended = true;
    ctx.separator = ",";
    ctx.sep_char = ',';
    ctx.sub_char = ' ';
    ctx.no_padding = true;
    ctx.space_before_time = false;
}

// The cells of one line; a quoted cell ("..." with "" for a quote) only when `rfc` says
// quotes are read. Nothing when a quote is left open or stray text follows one.
inline std::optional<std::vector<std::string>> read_cells(std::string_view line, std::string_view sep, bool rfc) {
    std::vector<std::string> cells;
    std::size_t i = 0;
    for (;;) {
        std::string cell;
        if (rfc && i < line.size() && line[i] == '"') {
            for (++i;; ++i) {
                if (i >= line.size()) return std::nullopt;
                if (line[i] != '"') {
                    cell += line[i];
                } else if (i + 1 < line.size() && line[i + 1] == '"') {
                    cell += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            if (i < line.size() && line.substr(i, sep.size()) != sep) return std::nullopt;
        } else {
            const std::size_t end = std::min(line.find(sep, i), line.size());
            cell.assign(line.substr(i, end - i));
            if (rfc && cell.find('"') != std::string::npos) return std::nullopt;  // an unquoted quote
            i = end;
        }
        cells.push_back(std::move(cell));
        if (i >= line.size()) return cells;
        i += sep.size();
    }
}

}  // namespace report_fixtures
