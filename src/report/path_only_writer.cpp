#include "report/path_only_writer.h"

#include <string>

#include "report/output_row.h"
#include "report/result_record.h"
#include "report/row_writer.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

// One cell, nothing to separate; a line break inside a name must not split the path.
row_format path_format(const report_options& options) {
    row_format f = make_row_format(options, false);
    f.separator.clear();
    f.sep_char = 0;
    f.padding = false;
    return f;
}

class path_only_writer final : public layout_writer {
public:
    path_only_writer(const report_context& c, std::ostream& o)
        : layout_writer(o), context(c), path_col(row.add(kind_text, 0, 0, "path")), writer(path_format(c.options)) {}

private:
    void write_header_line() override {}

    void write_entry(const mft_entry_info& entry, std::u16string_view stream_name) override {
        // Only files that exist: a record carved from free clusters names none.
        if (entry.is_directory() || !entry.in_use() || entry.from_unallocated || entry.file_names.empty()) return;
        fill_result_record(entry, context, rec, 0);
        collect_names_and_times(entry, context, rec, false);
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
            writer.write_row(out_, row);
        }
    }

    const report_context context;  // a copy: it names the settings, it owns nothing
    output_row row;
    int path_col;
    row_writer writer;
    result_record rec;
    std::string line;
};

}  // namespace

std::unique_ptr<layout_writer> make_path_only_writer(const report_context& context, std::ostream& out) {
    return std::make_unique<path_only_writer>(context, out);
}

}  // namespace skelvar
