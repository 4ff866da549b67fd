#include "app/layout_settings.h"

#include <string>

#include "app/arg_list.h"

namespace skelvar {

void set_field_separator(report_options& p, std::string_view text) {
    p.sep_char = 0;
    p.sub_char = 0;
    if (option_matches(text, "tab") || option_matches(text, "\\t")) {
        p.separator.assign(1, '\t');
        return;
    }
    p.separator = std::string(text);
    if (p.quoted_text) return;
    if (text.find('|') != std::string_view::npos) {
        p.sep_char = '|';
        p.sub_char = ';';
    } else if (text.find(',') != std::string_view::npos) {
        p.sep_char = ',';
        p.sub_char = ' ';
    }
}

void remove_separator_whitespace(report_options& p) {
    std::string stripped;
    for (char c : p.separator)
        if (c != ' ') stripped += c;
    // A separator made only of spaces would glue the cells together: keep it.
    if (!stripped.empty()) set_field_separator(p, stripped);
    p.no_padding = true;
    p.space_before_time = false;
}

void clear_csv_layouts(report_options& p) {
    p.csv = false;
    p.csvl2t = false;
    p.bodyfile = false;
    p.jsonl = false;
}

}  // namespace skelvar
