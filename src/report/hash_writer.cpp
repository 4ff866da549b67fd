#include "report/hash_writer.h"

#include <array>
#include <string>

#include "report/number_text.h"
#include "report/other_info.h"
#include "report/output_row.h"
#include "report/result_record.h"
#include "report/row_writer.h"

namespace skelvar {

namespace {

// Modify, access, create, MFT change: the order of this layout.

class hash_writer final : public layout_writer {
public:
    hash_writer(const report_context& c, std::ostream& o)
        : layout_writer(o), context_(c), opt_(c.options), writer_(make_row_format(opt_, true)) {
        const std::uint32_t text = opt_.quoted_text ? col_quoted : 0;
        if (opt_.md5) md5_ = row_.add(kind_text, text, 0, "md5 hash");
        if (opt_.sha1) sha1_ = row_.add(kind_text, text, 0, "sha1 hash");
        if (opt_.sha256) sha256_ = row_.add(kind_text, text, 0, "sha256 hash");
        inode_ = row_.add(kind_u64, 0, 0, "inode");
        size_ = row_.add(kind_u64, 0, 0, "file size");
        si_ = add_times({"Modify UTC [SI]", "Access UTC [SI]", "Create UTC [SI]", "MFT Change UTC [SI]"},
                        {"mdate (SI)", "adate (SI)", "cdate (SI)", "mftdate (SI)"});
        fn_ = add_times({"Modify UTC [FN]", "Access UTC [FN]", "Create UTC [FN]", "MFT Change UTC {FN]"},
                        {"mdate (FN)", "adate (FN)", "cdate (FN)", "mftdate (FN)"});
        name_ = row_.add(kind_text, text, 0, "filename");
        path_ = row_.add(kind_text, text, 0, "path");
        host_ = row_.add(kind_text, text, 0, "hostname");
        valid_ = row_.add(kind_text, text, 0, "valid");
        filter_ = row_.add(kind_text, text, 0, "filter");
        comment_ = row_.add(kind_text, text, 0, "comment");
        set_text(row_, host_, opt_.hostname);
    }

private:
    time_group add_times(const char* const (&paired)[4], const char* const (&split)[4]) {
        static constexpr const char* time_names[4] = {"mtime-utc", "atime-utc", "ctime-utc", "time-utc"};
        time_group g;
        for (std::size_t i = 0; i < 4; ++i) {
            if (opt_.pair_datetime) {
                g[i] = row_.add(kind_date_time, 0, 0, paired[i]);
            } else {
                g[i] = row_.add(kind_date, 0, 0, split[i]);
                row_.add(kind_time, 0, 0, time_names[i]);
            }
        }
        return g;
    }

    void set_times(const time_group& g, std::uint64_t m, std::uint64_t a, std::uint64_t c, std::uint64_t changed) {
        set_time_group(row_, g, {m, a, c, changed}, opt_.pair_datetime);
    }

    void write_header_line() override { writer_.write_header(out_, row_); }

    static std::string_view digest_cell(const std::string& digest) {
        return digest.empty() ? std::string_view("no data") : std::string_view(digest);
    }

    // The first filter that chose the entry, in this layout's order of labels.
    static std::string_view filter_cell(const selection_marks& marks) {
        for (std::string_view label : {"pattern(", "dir(", "inode(", "ext(", "name(", "type("})
            for (const std::string& m : marks.matched)
                if (m.starts_with(label)) return m;
        return {};
    }

    void write_entry(const mft_entry_info& entry, std::u16string_view) override {
        if (!entry.has_unnamed_data) return;
        fill_result_record(entry, context_, rec_, 0);
        collect_names_and_times(entry, context_, rec_, false);
        set_text(row_, md5_, digest_cell(entry.md5));
        set_text(row_, sha1_, digest_cell(entry.sha1));
        set_text(row_, sha256_, digest_cell(entry.sha256));
        set_number(row_, inode_, entry.entry_number, 8);
        const standard_info* si = entry.standard();
        if (si) set_times(si_, si->modified, si->accessed, si->created, si->mft_changed);
        else set_times(si_, 0, 0, 0, 0);
        const name_item* shown = nullptr;
        for (const name_item& n : rec_.names)
            if (!shown || (shown->dos && !n.dos)) shown = &n;
        if (shown && shown->fn) set_times(fn_, shown->fn->modified, shown->fn->accessed, shown->fn->created,
                                          shown->fn->mft_changed);
        else set_times(fn_, 0, 0, 0, 0);
        set_text(row_, name_, shown ? rec_.name(*shown) : std::string_view("<no filename attribute>"));
        set_text(row_, path_, shown ? rec_.path(*shown) : std::string_view("<no path>"));
        set_text(row_, valid_, entry.from_unallocated ? "unalloc-deleted" : entry.in_use() ? "yes" : "deleted");
        set_text(row_, filter_, filter_cell(entry.marks));
        comment_text_.clear();
        if (entry.is_extension) {
            comment_text_ = "refinode=[";
            append_number(comment_text_, ref_entry(entry.base_ref), opt_.hex_numbers, 8);
            comment_text_ += ']';
        }
        if (entry.time_flags) {
            next_item(comment_text_);
            append_time_flags(entry.time_flags, comment_text_);
        }
        set_text(row_, comment_, comment_text_);
        for (const auto& [key, row] : entry.catalogue) {
            if (!row.is_data || row.is_ads) continue;
            set_number(row_, size_, row.stream_size(), 8);
            writer_.write_row(out_, row_);
        }
    }

    const report_context context_;  // a copy: it names the settings, it owns nothing
    const report_options& opt_;
    output_row row_;
    row_writer writer_;
    result_record rec_;
    std::string comment_text_;
    int md5_ = -1, sha1_ = -1, sha256_ = -1, inode_ = -1, size_ = -1;
    time_group si_{-1, -1, -1, -1}, fn_{-1, -1, -1, -1};
    int name_ = -1, path_ = -1, host_ = -1, valid_ = -1, filter_ = -1, comment_ = -1;
};

}  // namespace

std::unique_ptr<layout_writer> make_hash_writer(const report_context& context, std::ostream& out) {
    return std::make_unique<hash_writer>(context, out);
}

}  // namespace skelvar
