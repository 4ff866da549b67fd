#include "report/jsonl_writer.h"

#include <array>
#include <string_view>
#include <vector>

#include "ntfs/ntfs_types.h"
#include "ntfs/time_flags.h"
#include "report/json_text.h"
#include "report/number_text.h"
#include "report/result_record.h"

namespace skelvar {

namespace {

constexpr std::array<std::string_view, 4> time_names = {"Modified", "Accessed", "MFT Changed", "Created"};

class jsonl_writer final : public layout_writer {
public:
    jsonl_writer(const report_context& context, std::ostream& out)
        : layout_writer(out), context_(context), opt_(context.options) {}

private:
    void write_header_line() override {}

    // Which times have the value: the cell's $STANDARD_INFORMATION letters, then the name's own
    // $FILE_NAME letters.
    void describe(const macb_cell& cell, const cell_name& name, bool dos) {
        desc_.clear();
        describe_letters(cell.si(), "$SI ");
        describe_letters(name.letters(), dos ? "$FN8.3 " : "$FN ");
    }
    void describe_letters(const macb_letters& letters, std::string_view source) {
        for (std::size_t i = 0; i < 4; ++i) {
            if (letters[i] == '.') continue;
            if (!desc_.empty()) desc_ += ", ";
            desc_ += source;
            desc_ += time_names[i];
        }
    }

    void write_event(const macb_cell& cell, const cell_name& named, bool dos) {
        const std::uint32_t index = named.name;
        const name_item& n = rec_.names[index];
        describe(cell, named, dos);
        const std::string_view path = text(name_texts_[index].path), name = text(name_texts_[index].name);
        line_ += "{\"message\":\"";
        line_ += path;
        line_ += ": ";
        line_ += desc_;
        if (deleted_) line_ += " (deleted)";
        line_ += "\",\"datetime\":\"";
        append_iso_date_time(cell.value, line_);
        line_ += "\",\"timestamp_desc\":\"";
        line_ += desc_;
        line_ += "\",\"timestamp\":";
        const std::int64_t us = unix_microseconds(cell.value);
        if (us < 0) line_ += '-';
        append_dec(line_, us < 0 ? 0 - static_cast<std::uint64_t>(us) : static_cast<std::uint64_t>(us));
        line_ += ",\"mft_entry\":";
        append_dec(line_, entry_number_);
        line_ += ",\"mft_sequence\":";
        append_dec(line_, rec_.sequence);
        line_ += ",\"parent_entry\":";
        append_dec(line_, ref_entry(n.parent_ref));
        line_ += ",\"path\":\"";
        line_ += path;
        line_ += "\",\"filename\":\"";
        line_ += name;
        line_ += '"';
        line_ += tail_;
    }

    // The name as the volume holds it: from its $FILE_NAME, so that half a surrogate pair survives.
    void append_name(const name_item& n, std::string& out) const {
        if (n.fn) append_json_chars(std::u16string_view(n.fn->name), out);
        else append_json_chars(rec_.name(n), out);
    }
    // Each name's path and name as JSON text, once per entry: a name has several events.
    // The stand-in "<no path>" of an entry without names is no directory: it stands alone.
    void escape_names() {
        texts_.clear();
        name_texts_.clear();
        for (const name_item& n : rec_.names) {
            escaped_name e;
            const std::string_view dir = rec_.path(n);
            e.path.off = texts_.size();
            append_json_chars(dir, texts_);
            const bool in_dir = !dir.empty() && dir.back() == '\\';
            if (in_dir) append_name(n, texts_);
            e.path.len = texts_.size() - e.path.off;
            e.name.off = texts_.size();
            append_name(n, texts_);
            e.name.len = texts_.size() - e.name.off;
            name_texts_.push_back(e);
        }
    }
    struct text_span {
        std::size_t off = 0, len = 0;
    };
    struct escaped_name {
        text_span path, name;
    };
    std::string_view text(text_span s) const { return std::string_view(texts_).substr(s.off, s.len); }

    // The fields every event of the entry shares, from "file_size" on.
    void build_tail(const mft_entry_info& entry) {
        tail_ = ",\"file_size\":";
        append_dec(tail_, rec_.size);
        tail_ += deleted_ ? ",\"deleted\":true" : ",\"deleted\":false";
        tail_ += entry.from_unallocated ? ",\"source\":\"NTFS:UNALLOC\"" : ",\"source\":\"NTFS$MFT\"";
        bool ads = false;
        for (const auto& [key, row] : entry.catalogue) ads = ads || (row.is_data && row.is_ads);
        tail_ += ads ? ",\"is_ads\":true" : ",\"is_ads\":false";
        tail_ += ",\"time_flags\":[";
        bool first = true;
        for (std::size_t i = 0; i < time_flag_names.size(); ++i) {
            if (!(entry.time_flags & (1u << i))) continue;
            if (!first) tail_ += ',';
            first = false;
            tail_ += '"';
            tail_ += time_flag_names[i];
            tail_ += '"';
        }
        tail_ += "],\"type\":";
        append_json_string(std::string_view(rec_.type_text), tail_);
        optional_text("other_info", rec_.other_info);
        if (wants_streams()) optional_text("stream_info", rec_.stream_info);
        optional_text("header", rec_.header_bytes);
        if (rec_.md5_present) optional_text("md5", rec_.md5);
        if (rec_.sha1_present) optional_text("sha1", rec_.sha1);
        if (rec_.sha256_present) optional_text("sha256", rec_.sha256);
        optional_text("extracted_path", rec_.extracted_path);
        tail_ += "}\n";
    }
    void optional_text(std::string_view key, std::string_view value) {
        if (value.empty()) return;
        tail_ += ",\"";
        tail_ += key;
        tail_ += "\":";
        append_json_string(value, tail_);
    }
    // The stream descriptions carry what the owner, cluster and header actions found.
    bool wants_streams() const { return opt_.owner_sid || opt_.cluster_info || opt_.header_wanted(); }

    void write_entry(const mft_entry_info& entry, std::u16string_view) override {
        fill_result_record(entry, context_, rec_, part_other_info | (wants_streams() ? part_stream_info : 0));
        collect_names_and_times(entry, context_, rec_);
        entry_number_ = entry.entry_number;
        deleted_ = entry.from_unallocated || !entry.in_use();
        build_tail(entry);
        escape_names();
        line_.clear();
        for (std::size_t i = 0; i < rec_.times.size(); ++i) {
            const macb_cell& cell = rec_.times[i];
            if (!rec_.in_window(cell.value)) continue;
            for (const cell_name& n : cell.long_names) write_event(cell, n, false);
            for (const cell_name& n : cell.dos_names) write_event(cell, n, true);
        }
        out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
    }

    const report_context context_;  // a copy: it names the settings, it owns nothing
    const report_options& opt_;
    result_record rec_;
    std::string line_, tail_, desc_, texts_;  // reused from entry to entry
    std::vector<escaped_name> name_texts_;
    std::uint64_t entry_number_ = 0;
    bool deleted_ = false;
};

}  // namespace

std::unique_ptr<layout_writer> make_jsonl_writer(const report_context& context, std::ostream& out) {
    return std::make_unique<jsonl_writer>(context, out);
}

}  // namespace skelvar
