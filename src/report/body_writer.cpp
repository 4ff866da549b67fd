#include "report/body_writer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "report/line_buffer.h"
#include "report/line_sink.h"
#include "report/number_text.h"
#include "report/other_info.h"
#include "report/output_row.h"
#include "report/result_record.h"
#include "report/row_writer.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

// In body-file order: access, modify, MFT change, create.
struct body_times {
    std::array<std::uint64_t, 4> t{};
    bool operator==(const body_times&) const = default;
};

body_times si_times(const mft_entry_info& entry) {
    const standard_info* si = entry.standard();
    if (!si) return {};
    return {{si->accessed, si->modified, si->mft_changed, si->created}};
}

body_times fn_times(const file_name_info& fn) { return {{fn.accessed, fn.modified, fn.mft_changed, fn.created}}; }

// The same times as the body file shows them, in seconds since 1970.
using body_seconds = std::array<std::int64_t, 4>;

// An entry's eight times nearly always fall in one second, and often in its neighbour's:
// a time inside the second last converted takes its seconds without a division.
class seconds_cache {
public:
    body_seconds operator()(const body_times& t) {
        body_seconds s{};
        for (std::size_t i = 0; i < 4; ++i) s[i] = seconds(t.t[i]);
        return s;
    }

private:
    std::int64_t seconds(std::uint64_t filetime) {
        if (filetime - from_ < ticks_per_second) return seconds_;
        const std::int64_t s = filetime_to_unix_seconds(filetime);
        // Before 1970 seconds are cut towards zero: only later ones are kept.
        if (filetime >= epoch) {
            from_ = epoch + static_cast<std::uint64_t>(s) * ticks_per_second;
            seconds_ = s;
        }
        return s;
    }

    static constexpr std::uint64_t epoch = static_cast<std::uint64_t>(seconds_1601_to_1970) * ticks_per_second;
    std::uint64_t from_ = epoch;  // first tick of the second kept
    std::int64_t seconds_ = 0;
};

// Compared field by field: inline, where the array's == calls memcmp.
bool same_seconds(const body_seconds& a, const body_seconds& b) {
    return ((a[0] ^ b[0]) | (a[1] ^ b[1]) | (a[2] ^ b[2]) | (a[3] ^ b[3])) == 0;
}

// The ending of a line's name cell: which set of times the line shows.
constexpr std::size_t which_si = 0, which_fn = 1, which_match = 2;
constexpr std::array<std::string_view, 3> which_texts{"SI times)", "FN times)", "SI & FN times match)"};

class body_writer final : public layout_writer {
public:
    body_writer(const report_context& c, std::ostream& o)
        : layout_writer(o), context(c), opt(c.options), writer(make_row_format(opt, false)), lines(o) {
        md5 = row.add(kind_text, 0, 0, "md5");
        name = row.add(kind_text, 0, 0, "name");
        inode = row.add(kind_u64, col_decimal, 0, "inode");
        mode = row.add(kind_text, 0, 0, "mode as string");
        uid = row.add(kind_u32, col_decimal, 0, "uid");
        gid = row.add(kind_u32, col_decimal, 0, "gid");
        size = row.add(kind_u64, col_decimal, 0, "size");
        times[0] = row.add(kind_text, 0, 0, "access time");
        times[1] = row.add(kind_text, 0, 0, "modify time");
        times[2] = row.add(kind_text, 0, 0, "mft time");
        times[3] = row.add(kind_text, 0, 0, "create time");
        // The mode, uid and gid of NTFS entries are not in the record: empty and zeros.
        set_text(row, mode, {});
        set_number(row, uid, 0, 4);
        set_number(row, gid, 0, 4);
        name_in_parts = writer.writes_as_is(row.columns[static_cast<std::size_t>(name)], {});
        // A decimal number cell without padding is its digits.
        inode_as_is = writer.writes_as_is(row.columns[static_cast<std::size_t>(inode)], "0123456789");
        times_as_is = true;
        for (int t : times)
            times_as_is = times_as_is && writer.writes_as_is(row.columns[static_cast<std::size_t>(t)], "-0123456789");
        // The cells that never change, and the name cell's three endings, formatted once.
        const std::string& sep = writer.format().separator;
        for (int col : {mode, uid, gid}) {
            mode_to_gid += sep;
            writer.append_cell(mode_to_gid, row.columns[static_cast<std::size_t>(col)]);
        }
        mode_to_gid += sep;
        short_middle = sep.size() + inode_text.digits.size() + mode_to_gid_block.size() <= short_text::capacity &&
                       mode_to_gid.size() <= mode_to_gid_block.size();
        if (short_middle) std::memcpy(mode_to_gid_block.data(), mode_to_gid.data(), mode_to_gid.size());
        set_text(row, md5, "0");
        writer.append_cell(no_md5_prefix, row.columns[static_cast<std::size_t>(md5)]);
        no_md5_prefix += sep;
        for (std::size_t w = 0; w < which_texts.size(); ++w) {
            set_text(row, name, which_texts[w]);
            writer.append_cell(which_cells[w].text, row.columns[static_cast<std::size_t>(name)]);
            which_cells[w].settle();
        }
    }

private:
    void write_header_line() override { writer.write_header(out_, row); }

    // Per-entry part of the name cell: state, kind and other-info items, each closed by "; ".
    // Without the items only some entries have, the text depends on a few values: kept while they repeat.
    void build_items(const mft_entry_info& entry) {
        const name_spread spread = count_name_spread(entry);
        const bool plain = !entry.is_extension && !opt.filerecord_offset &&
                           !(opt.owner_sid && !entry.owner_sid.empty()) && !(opt.zone_info && !entry.zone_texts.empty());
        const items_key key{entry.from_unallocated, entry.in_use(), entry.is_directory(), spread.names, spread.roots};
        if (plain && items_plain && key == items_for) return;
        items_plain = plain;
        items_for = key;
        items.clear();
        if (entry.from_unallocated) items += " deleted-unalloc; ";
        else if (!entry.in_use()) items += " deleted; ";
        items += entry.is_directory() ? "dir; " : "file; ";
        const std::size_t before_spread = items.size();
        append_name_spread(spread, items);
        if (items.size() != before_spread) items += "; ";
        if (entry.is_extension) {
            items += "refinode [";
            append_number(items, ref_entry(entry.base_ref), opt.hex_numbers, 8);
            items += "]; ";
        }
        if (opt.filerecord_offset) {
            items += "filerecord [";
            append_number(items, entry.source_offset, opt.hex_numbers, 1);
            items += "]; ";
        }
        if (opt.owner_sid && !entry.owner_sid.empty()) {
            items += "owner_sid [ ";
            items += entry.owner_sid;
            items += "]; ";
        }
        if (opt.zone_info) {
            for (const auto& z : entry.zone_texts) {
                append_zone_info(z, items);
                items += "; ";
            }
        }
    }

    // The time cells of the last two sets of times, formatted with their separators and the line
    // feed: a name's lines alternate SI and FN times.
    // Kept by the seconds shown, so that entries whose times differ only below the second share them.
    struct time_texts {
        body_seconds seconds{};
        kept_text tail;
        bool filled = false;
    };

    const time_texts& times_tail(const body_seconds& seconds) {
        for (const time_texts& c : time_cache)
            if (c.filled && same_seconds(c.seconds, seconds)) return c;
        time_texts& slot = time_cache[next_slot];
        next_slot ^= 1;
        slot.seconds = seconds;
        slot.filled = true;
        slot.tail.text.clear();
        for (std::size_t i = 0; i < 4; ++i) {
            std::array<char, 24> buf{};
            auto r = std::to_chars(buf.data(), buf.data() + buf.size(), seconds[i]);
            const std::string_view text(buf.data(), static_cast<std::size_t>(r.ptr - buf.data()));
            slot.tail.text += writer.format().separator;
            if (times_as_is) {
                slot.tail.text += text;
                continue;
            }
            set_text(row, times[i], text);
            writer.append_cell(slot.tail.text, row.columns[static_cast<std::size_t>(times[i])]);
        }
        slot.tail.text += '\n';
        slot.tail.settle();
        return slot;
    }

    // The cells before and after the name that stay the same for all the entry's lines but the size.
    void set_entry_cells(bool md5_present, std::uint64_t entry_number) {
        const std::string& sep = writer.format().separator;
        if (md5_present) {
            prefix.text.clear();
            writer.append_cell(prefix.text, row.columns[static_cast<std::size_t>(md5)]);
            prefix.text += sep;
            prefix.settle();
            prefix_is_default = false;
        } else if (!prefix_is_default) {
            prefix.text = no_md5_prefix;
            prefix.settle();
            prefix_is_default = true;
        }
        // The inode cell changes with every entry: its digits go straight into the short copy.
        if (inode_as_is && short_middle) {
            short_text& t = middle.fixed;
            char* p = t.bytes.data();
            for (char ch : sep) *p++ = ch;
            inode_text.set(entry_number);
            std::memcpy(p, inode_text.digits.data(), inode_text.digits.size());  // whole blocks: no call for a run-time size
            p += inode_text.length;
            std::memcpy(p, mode_to_gid_block.data(), mode_to_gid_block.size());
            p += mode_to_gid.size();
            t.length = static_cast<std::size_t>(p - t.bytes.data());
            middle.is_short = true;
            return;
        }
        middle.text.clear();
        middle.text += sep;
        writer.append_cell(middle.text, row.columns[static_cast<std::size_t>(inode)]);
        middle.text += mode_to_gid;
        middle.settle();
    }

    // A name cell that is neither quoted, cut nor padded is its parts formatted one by one (the
    // part before `which` ends in '(' or ' ', so no CR LF pair is split): the part shared by the
    // name's lines is formatted once.
    void set_name_base() {
        if (!name_in_parts) return;
        set_text(row, name, cell);
        name_base.clear();
        writer.append_cell(name_base, row.columns[static_cast<std::size_t>(name)]);
    }

    // A line into `lines`: the name cell is `cell` with the ending `w` after it.
    void write_line(std::size_t w, const body_seconds& t) {
        const std::string_view which = which_texts[w];
        if (!name_in_parts) {
            cell.resize(cell_base);
            cell += which;
            set_text(row, name, cell);
            name_base.clear();
            writer.append_cell(name_base, row.columns[static_cast<std::size_t>(name)]);
        }
        const std::string_view size_part = size_cell.text(writer, row.columns[static_cast<std::size_t>(size)]);
        const kept_text& tail = times_tail(t).tail;
        lines.make_room(prefix.size() + name_base.size() + which_cells[w].size() + middle.size() + size_part.size() +
                        tail.size());
        lines.append(prefix);
        lines.append(name_base);
        if (name_in_parts) {
            lines.append(which_cells[w]);
        }
        lines.append(middle);
        lines.append(size_part, size_cell.in_block());
        lines.append(tail);
    }

    void write_entry(const mft_entry_info& entry, std::u16string_view stream_name) override {
        fill_result_record(entry, context, rec, skip_labels);
        collect_names_and_times(entry, context, rec, false);
        set_text(row, md5, rec.md5_present ? std::string_view(rec.md5) : std::string_view("0"));
        set_number(row, inode, entry.entry_number, 8);
        set_number(row, size, rec.size, 8);
        const body_times si = si_times(entry);
        const body_seconds si_seconds = seconds_of(si);
        set_entry_cells(rec.md5_present, entry.entry_number);

        if (entry.file_names.empty()) {
            cell = "<no filename attribute> (";
            cell_base = cell.size();
            set_name_base();
            write_line(which_si, si_seconds);
            lines.finish();
            return;
        }
        build_items(entry);
        if (stream_name.empty()) collect_streams(entry);
        for (const name_item& n : rec.names) {
            if (!n.fn) continue;
            start_cell(n, stream_name);
            const body_times fn = fn_times(*n.fn);
            set_number(row, size, rec.size, 8);
            if (fn == si) {
                write_line(which_match, si_seconds);
            } else {
                write_line(which_si, si_seconds);
                write_line(which_fn, seconds_of(fn));
            }
            // Named streams under the file's long names (a DOS name only when it stands alone),
            // each with the file's SI times, as `fls -m` lists them.
            if (!stream_name.empty() || (n.dos && has_long_partner(n))) continue;
            for (const auto& [stream, bytes] : streams) {
                start_cell(n, stream);
                set_number(row, size, bytes, 8);
                write_line(which_si, si_seconds);
            }
        }
        lines.finish();
    }

    // The name cell up to its ending. A cell written in parts is put together straight in
    // `name_base` when it holds nothing to change (nearly always), instead of being copied there.
    void start_cell(const name_item& n, std::u16string_view stream) {
        std::string& text = name_in_parts ? name_base : cell;
        text.clear();
        text += rec.path(n);
        text += rec.name(n);
        if (!stream.empty()) {
            text += ':';
            uni::append_utf8(stream, text);
        }
        text += " (";
        text += items;
        cell_base = text.size();
        // The body file is '|'-separated whatever separator is set: the name must never carry one.
        if (writer.format().sep_char != '|')
            for (char& ch : text)
                if (ch == '|') ch = ';';
        if (!name_in_parts || writer.text_as_is(name_base)) return;
        cell = name_base;
        set_name_base();
    }

    // Each named data stream once, with its size (a stream split over records is catalogued in pieces):
    // the first piece met gives its place and size, a later piece that starts the stream its size.
    // Pieces are grouped by name, not compared pairwise: a hostile record may hold thousands.
    void collect_streams(const mft_entry_info& entry) {
        streams.clear();
        pieces.clear();
        for (std::size_t i = 0; i < entry.catalogue.size(); ++i) {
            const catalogue_row& r = entry.catalogue.begin()[i].second;
            if (r.is_data && !r.name.empty()) pieces.push_back({r.name, i});
        }
        if (pieces.empty()) return;
        std::sort(pieces.begin(), pieces.end(), [](const stream_piece& a, const stream_piece& b) {
            return a.name != b.name ? a.name < b.name : a.index < b.index;
        });
        firsts.clear();
        for (std::size_t g = 0; g < pieces.size();) {
            std::size_t end = g + 1;
            std::uint64_t bytes = entry.catalogue.begin()[pieces[g].index].second.stream_size();
            for (; end < pieces.size() && pieces[end].name == pieces[g].name; ++end)
                if (const catalogue_row& r = entry.catalogue.begin()[pieces[end].index].second; r.start_vcn == 0)
                    bytes = r.stream_size();
            firsts.push_back({pieces[g].index, bytes, pieces[g].name});
            g = end;
        }
        std::sort(firsts.begin(), firsts.end(), [](const first_piece& a, const first_piece& b) { return a.index < b.index; });
        for (const first_piece& f : firsts) streams.emplace_back(f.name, f.bytes);
    }

    bool has_long_partner(const name_item& d) const {
        for (const name_item& n : rec.names)
            if (!n.dos && n.parent_ref == d.parent_ref) return true;
        return false;
    }

    const report_context context;  // a copy: it names the settings, it owns nothing
    const report_options& opt;
    output_row row;
    row_writer writer;
    result_record rec;
    int md5 = -1, name = -1, inode = -1, mode = -1, uid = -1, gid = -1, size = -1;
    std::array<int, 4> times{-1, -1, -1, -1};
    std::array<time_texts, 2> time_cache;
    std::size_t next_slot = 0;
    bool times_as_is = false;  // the time cells need no quoting or substitution: their digits go as they are
    bool name_in_parts = false;  // see set_name_base
    bool inode_as_is = false;    // the inode cell is its decimal digits
    // The last inode's digits: a walk goes one entry up at a time, so the next one's are
    // nearly always a carry through the last digits instead of a conversion.
    struct counting_digits {
        std::array<char, 24> digits{};
        std::size_t length = 0;
        std::uint64_t number = 0;

        void set(std::uint64_t n) {
            if (length && n == number + 1) {
                std::size_t i = length;
                while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
                if (i > 0) {
                    ++digits[i - 1];
                    number = n;
                    return;
                }
            }
            length = static_cast<std::size_t>(std::to_chars(digits.data(), digits.data() + digits.size(), n).ptr -
                                              digits.data());
            number = n;
        }
    };
    counting_digits inode_text;
    bool short_middle = false;   // the cells from the inode to the gid always fit a short text
    bool prefix_is_default = false;  // `prefix` holds the cells of an entry without an MD5
    std::string name_base;       // the formatted name cell up to its ending
    std::array<kept_text, which_texts.size()> which_cells;  // the name cell's endings, formatted
    kept_number_text size_cell;  // a size mostly repeats the line before
    seconds_cache seconds_of;
    std::string items, cell;
    struct items_key {
        bool unallocated = false, in_use = false, directory = false;
        std::size_t names = 0, roots = 0;
        bool operator==(const items_key&) const = default;
    };
    items_key items_for;       // what `items` was built from
    bool items_plain = false;  // and that it holds none of the other items
    // The cells before and after the name, separators included.
    kept_text prefix, middle;
    std::string no_md5_prefix, mode_to_gid;
    std::array<char, 16> mode_to_gid_block{};  // mode_to_gid in a block copied whole (when it fits)
    line_sink lines;  // where the entry's lines go
    std::size_t cell_base = 0;
    std::vector<std::pair<std::u16string_view, std::uint64_t>> streams;
    // collect_streams' scratch: named data rows by catalogue index, and each name's first row with its size.
    struct stream_piece {
        std::u16string_view name;
        std::size_t index = 0;
    };
    struct first_piece {
        std::size_t index = 0;
        std::uint64_t bytes = 0;
        std::u16string_view name;
    };
    std::vector<stream_piece> pieces;
    std::vector<first_piece> firsts;
};

}  // namespace

std::unique_ptr<layout_writer> make_body_writer(const report_context& context, std::ostream& out) {
    return std::make_unique<body_writer>(context, out);
}

}  // namespace skelvar
