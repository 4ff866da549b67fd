#include "report/record_dump_writer.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "ntfs/entry_reader.h"
#include "ntfs/mft_entry_info.h"
#include "ntfs/path_resolver.h"
#include "ntfs/secure_table.h"
#include "report/date_time.h"
#include "report/number_text.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

struct flag_name {
    std::uint32_t bit;
    std::string_view name;
};

constexpr flag_name flag_names[] = {
    {0x1, "READ_ONLY"},   {0x2, "HIDDEN"},         {0x4, "SYSTEM"},      {0x10, "DIRECTORY"},
    {0x20, "ARCHIVE"},    {0x40, "DEVICE"},        {0x80, "NORMAL"},     {0x100, "TEMPORARY"},
    {0x200, "SPARSE_FILE"}, {0x400, "REPARSE_PT"}, {0x800, "COMPRESSED"}, {0x1000, "OFFLINE"},
    {0x2000, "CONTENT_NOT_INDEXED"}, {0x4000, "ENCRYPTED"}, {0x10000, "VIRTUAL"},
    {0x10000000, "DIRECTORY"},  // the directory bit of $FILE_NAME
};

// The link count field holds 15 when NTFS no longer counts the links.
constexpr std::uint16_t uncounted_links = 15;

constexpr std::uint16_t attr_compressed = 0x00FF;
constexpr std::uint16_t attr_encrypted = 0x4000;
constexpr std::uint16_t attr_sparse = 0x8000;

class record_dump_writer final : public layout_writer {
public:
    record_dump_writer(const report_context& c, std::ostream& o) : layout_writer(o), context_(c), opt_(c.options) {}

private:
    // The dump has no column header.
    void write_header_line() override {}

    void write_entry(const mft_entry_info& e, std::u16string_view) override {
        text_.clear();
        header_block(e);
        for (const auto& [key, si] : e.standard_infos) standard_block(si);
        name_blocks(e);
        attribute_blocks(e);
        if (opt_.hexdump) hex_blocks(e);
        out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
        out_.flush();
    }

    void end_line() { text_ += '\n'; }

    // "0x" + fixed-width hexadecimal + " [" + decimal + "]"
    void id(std::uint64_t v, unsigned digits) {
        text_ += "0x";
        append_hex(text_, v, digits);
        text_ += " [";
        append_dec(text_, v);
        text_ += ']';
    }

    void time_line(std::string_view label, std::uint64_t filetime) {
        text_ += label;
        append_date_time(filetime, opt_.time_format, text_);
        end_line();
    }

    void four_times(std::uint64_t modified, std::uint64_t accessed, std::uint64_t mft_changed, std::uint64_t created) {
        time_line("  modified:  ", modified);
        time_line("  accessed:  ", accessed);
        time_line("  mft mod:   ", mft_changed);
        time_line("  created:   ", created);
    }

    void header_block(const mft_entry_info& e) {
        text_ += "File Record: \n  MFT entry: ";
        id(e.entry_number, 8);
        text_ += "\n  Seq Num:   ";
        id(e.sequence_number, 4);
        text_ += "\n  Type:      ";
        text_ += e.is_directory() ? "directory" : "file";
        end_line();
        if (!e.in_use()) text_ += "  deleted\n";
        if (e.from_unallocated) text_ += "  unalloc\n";
        if (e.is_extension) {
            text_ += "  references mft entry: 0x";
            append_hex(text_, ref_entry(e.base_ref), 12);
            text_ += " [";
            append_dec(text_, ref_seq(e.base_ref));
            text_ += "]\n";
        }
        text_ += "  Ref Count: ";
        if (e.link_count() == uncounted_links) text_ += "-1";
        else append_dec(text_, e.link_count());
        text_ += "\n\n";
    }

    const security_descriptor_info* descriptor(std::uint32_t security_id) {
        if (!security_.attempted) {
            security_.attempted = true;
            if (context_.entries) load_security_table(*context_.entries, security_);
        }
        return security_.find(security_id);
    }

    void standard_block(const standard_info& si) {
        text_ += "Standard Info Attrib: (";
        text_ += file_attribute_flags_text(si.file_attributes);
        text_ += ")\n";
        four_times(si.modified, si.accessed, si.mft_changed, si.created);
        text_ += "  secure id: ";
        id(si.security_id, 8);
        text_ += "\n  quota id:  ";
        id(si.quota_charged, 8);
        text_ += "\n  Jrnl num:  ";
        id(si.usn, 8);
        end_line();
        if (const security_descriptor_info* d = si.security_id ? descriptor(si.security_id) : nullptr) {
            text_ += "  Owner SID: " + d->owner_sid + "\n  Group SID: " + d->group_sid + "\n";
            text_ += render_descriptor(*d);
        }
        end_line();
    }

    // The directory part of a name's path without its closing backslash; empty without a source.
    std::string parent_path(std::uint64_t parent_ref) const {
        if (!context_.paths) return {};
        std::u16string_view path = context_.paths->resolve_parent(parent_ref);
        if (path.size() > 1 && path.back() == u'\\') path.remove_suffix(1);
        return uni::to_utf8(path);
    }

    void name_blocks(const mft_entry_info& e) {
        const file_name_info* shown = nullptr;
        for (const auto& [key, fn] : e.file_names) {
            // A DOS name beside its long name in the same directory adds nothing.
            if (shown && shown->parent_ref == fn.parent_ref &&
                (fn.name_space == ns_dos || shown->name_space == ns_dos))
                continue;
            shown = &fn;
            text_ += "Filename Attrib: ";
            uni::append_utf8(fn.name, text_);
            if (fn.indexed) text_ += ", (indexed)";
            text_ += "\n  parnt mft: 0x";
            append_hex(text_, ref_entry(fn.parent_ref), 8);
            if (const std::string path = parent_path(fn.parent_ref); !path.empty()) text_ += " = " + path;
            text_ += "\n  parnt seq# ";
            id(ref_seq(fn.parent_ref), 4);
            end_line();
            four_times(fn.modified, fn.accessed, fn.mft_changed, fn.created);
            end_line();
        }
    }

    void size_line(std::string_view label, std::uint64_t v, unsigned digits) {
        text_ += label;
        append_number(text_, v, opt_.hex_numbers, digits);
        end_line();
    }

    void runs_block(const catalogue_row& row) {
        text_ += "  cluster runs\n";
        std::uint64_t real = 0, sparse = 0;
        for (const compact_run& r : row.runs) {
            text_ += "    ";
            append_number(text_, r.vcn, opt_.hex_numbers, 8);
            text_ += " -> ";
            append_number(text_, r.lcn, opt_.hex_numbers, 8);
            text_ += ", clusters: ";
            append_number(text_, r.count, opt_.hex_numbers, 8);
            if (r.sparse) text_ += " [sparse]";
            end_line();
            (r.sparse ? sparse : real) += r.count;
        }
        size_line("  Total clusters [real]:   ", real, 8);
        size_line("  Total clusters [sparse]: ", sparse, 8);
    }

    void attribute_block(const catalogue_row& row) {
        text_ += row.is_data ? std::string_view("Data Attrib") : row.label;
        text_ += ": ";
        if (row.name.empty()) text_ += "(unnamed)";
        else uni::append_utf8(row.name, text_);
        if (row.flags & attr_compressed) text_ += ", data compressed";
        else if (row.flags & attr_encrypted) text_ += ", data encrypted";
        if (row.flags & attr_sparse) text_ += ", sparse clusters";
        end_line();
        if (row.non_resident) {
            size_line("  allocated:  ", row.allocated_size, 12);
            size_line("  file size:  ", row.data_size, 12);
            size_line("  valid data: ", row.initialized_size, 12);
            // The compressed size follows the initialized size in the headers of compressed streams.
            const kavo::binary_data header(row.record_copy);
            if (row.compression_unit && header.has(0x40, 8)) size_line("  compressed size: ", header.u64(0x40), 12);
            runs_block(row);
        } else {
            text_ += "  resident data used: ";
            append_number(text_, row.value_length, opt_.hex_numbers, 4);
            if (row.type == at_object_id && !row.text.empty()) text_ += " [" + row.text + "]";
            end_line();
            if (row.type == at_security_descriptor) text_ += row.text;
            else if (row.type != at_object_id && !row.text.empty()) text_ += "  value: " + row.text + "\n";
        }
        end_line();
    }

    void attribute_blocks(const mft_entry_info& e) {
        std::vector<const catalogue_row*> rows;
        for (const auto& [key, row] : e.catalogue) rows.push_back(&row);
        // In the order of the record: by type, then by attribute id.
        std::stable_sort(rows.begin(), rows.end(), [](const catalogue_row* a, const catalogue_row* b) {
            return a->type != b->type ? a->type < b->type : a->attr_id < b->attr_id;
        });
        for (const catalogue_row* row : rows) attribute_block(*row);
    }

    void hex_blocks(const mft_entry_info& e) {
        if (!e.record_bytes.empty()) {
            text_ += "Record Bytes: ";
            append_number(text_, e.record_bytes.size(), opt_.hex_numbers, 4);
            text_ += " (update sequence applied)\n";
            append_hex_dump(e.record_bytes, text_);
            end_line();
        }
        for (const auto& [key, row] : e.catalogue) {
            if (!row.is_data || !row.header_sampled || row.header_sample.empty()) continue;
            text_ += "Data Head: ";
            if (row.name.empty()) text_ += "(unnamed)";
            else uni::append_utf8(row.name, text_);
            text_ += ", first ";
            append_number(text_, row.header_sample.size(), opt_.hex_numbers, 4);
            text_ += " bytes\n";
            append_hex_dump(row.header_sample, text_);
            end_line();
        }
    }

    const report_context& context_;
    const report_options& opt_;
    security_table security_;  // $Secure:$SDS, loaded on first use
    std::string text_;
};

}  // namespace

std::string file_attribute_flags_text(std::uint32_t flags) {
    std::string out;
    for (const flag_name& f : flag_names) {
        if (!(flags & f.bit)) continue;
        if (!out.empty()) out += ", ";
        out += f.name;
    }
    if (out.empty()) out = flags == 0 ? "none set" : "unk";
    return out;
}

void append_hex_dump(std::span<const std::uint8_t> bytes, std::string& out) {
    for (std::size_t at = 0; at < bytes.size(); at += 16) {
        const std::size_t n = std::min<std::size_t>(16, bytes.size() - at);
        out += "  ";
        append_hex(out, at, 4);
        out += ": ";
        for (std::size_t i = 0; i < 16; ++i) {
            if (i < n) append_hex(out, bytes[at + i], 2);
            else out += "  ";
            out += i == 7 ? "  " : " ";
        }
        out += ' ';
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t c = bytes[at + i];
            out += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
        }
        out += '\n';
    }
}

std::unique_ptr<layout_writer> make_record_dump_writer(const report_context& context, std::ostream& out) {
    return std::make_unique<record_dump_writer>(context, out);
}

}  // namespace skelvar
