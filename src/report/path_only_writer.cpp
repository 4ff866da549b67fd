#include "report/path_only_writer.h"

#include <optional>
#include <string>

#include "app/mft_entries_ctx.h"
#include "report/output_row.h"
#include "report/result_record.h"
#include "report/row_writer.h"
#include "support/utf8.h"

namespace skelvar {

struct path_only_writer::impl {
    impl(mft_entries_ctx& c, std::ostream& o) : ctx(c), out(o) {}

    void prepare() {
        if (writer) return;
        path_col = row.add(kind_text, 0, 0, "path");
        // One cell, nothing to separate; a line break inside a name must not split the path.
        row_format f = make_row_format(ctx, true);
        f.separator.clear();
        f.sep_char = 0;
        f.padding = false;
        writer.emplace(std::move(f));
    }

    void write_entry(const mft_entry_info& entry, std::u16string_view stream_name) {
        if (entry.is_directory() || !entry.in_use() || entry.file_names.empty()) return;
        prepare();
        fill_result_record(entry, ctx, rec, 0);
        collect_names_and_times(entry, ctx, rec, false);
        for (const name_item& n : rec.names) {
            std::string_view dir = rec.path(n);
            if (dir.find("<path corrupted>") != std::string_view::npos) continue;
            if (dir.find("[root]") != std::string_view::npos) dir.remove_prefix(dir.size() < 6 ? dir.size() : 6);
            line.assign(dir);
            line += rec.name(n);
            if (!stream_name.empty()) {
                line += ':';
                uni::append_utf8(stream_name, line);
            }
            set_text(row, path_col, line);
            writer->write_row(out, row);
        }
    }

    mft_entries_ctx& ctx;
    std::ostream& out;
    output_row row;
    int path_col = -1;
    std::optional<row_writer> writer;
    result_record rec;
    std::string line;
};

path_only_writer::path_only_writer(mft_entries_ctx& ctx, std::ostream& out) : impl_(std::make_unique<impl>(ctx, out)) {}
path_only_writer::~path_only_writer() = default;

void path_only_writer::write_entry(const mft_entry_info& entry, std::u16string_view stream_name) {
    impl_->write_entry(entry, stream_name);
}

}  // namespace skelvar
