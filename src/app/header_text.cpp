#include "app/header_text.h"

#include "app/arg_list.h"
#include "report/date_time.h"

namespace skelvar {

std::string executable_base_name(std::string_view argv0) {
    const std::size_t slash = argv0.find_last_of("/\\");
    if (slash != std::string_view::npos) argv0.remove_prefix(slash + 1);
    const std::size_t dot = argv0.rfind('.');
    if (dot != std::string_view::npos && dot > 0) argv0 = argv0.substr(0, dot);
    return argv0.empty() ? std::string(program_name) : std::string(argv0);
}

std::string banner_text() { return std::string(program_name) + " " + std::string(version_text); }

std::string compose_header(const std::vector<std::string>& args, std::uint64_t now_filetime) {
    arg_list list(args);
    std::string date_pattern = "mm/dd/yyyy";
    if (auto p = list.peek_value("-dateformat"); p && valid_date_pattern(*p)) date_pattern = *p;
    date_time_format format;
    compile_date_time_format(date_pattern, "hh:mm:ss", false, format);

    std::string when;
    if (append_date(now_filetime, format, when)) when += ' ';
    append_time(now_filetime, format, when);

    // The program path is shown by its file name only, so that headers of
    // runs from different folders compare equal.
    std::vector<std::string> shown = args;
    if (!shown.empty()) {
        std::size_t slash = shown[0].find_last_of("/\\");
        if (slash != std::string::npos) shown[0].erase(0, slash + 1);
    }

    std::string header = banner_text();
    header += " [run: " + when + " UTC]; cmdline: ";
    if (list.has_flag("-pipe")) header += "<filelist> ... | ";
    // A line break inside an argument would end the header block early.
    for (char c : join_command_line(shown)) header += (c == '\r' || c == '\n') ? ' ' : c;
    header += "\n\n";
    return header;
}

}  // namespace skelvar
