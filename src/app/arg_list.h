// The argument list as the option parsers see it, and the small value
// syntaxes shared by every option: lists, numbers and date-times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace skelvar {

// An argument names an option when it has exactly the option's length and
// equals it ignoring (ASCII) case: "-OUT" is -out, "-outx" is not.
bool option_matches(std::string_view argument, std::string_view option);

// Arguments of the run, program path first. Recognising an option removes it;
// an option with a value removes the value too. A value-taking option that
// stands last has no value: it counts as absent and stays in the list.
class arg_list {
public:
    arg_list() = default;
    explicit arg_list(std::vector<std::string> args) : args_(std::move(args)) {}
    arg_list(int argc, char** argv);

    const std::vector<std::string>& items() const { return args_; }
    std::size_t size() const { return args_.size(); }
    void append(std::string arg) { args_.push_back(std::move(arg)); }

    // True when the option is present (for a value option: with a value).
    bool has_flag(std::string_view option) const;
    bool has_value(std::string_view option) const;
    // Value of the first occurrence that has one, without consuming it.
    std::optional<std::string> peek_value(std::string_view option) const;

    // Remove the first occurrence of a flag; false when absent.
    bool take_flag(std::string_view option);
    // Remove the first occurrence of a value option and its value.
    std::optional<std::string> take_value(std::string_view option);

    // Arguments after the program path that no parser consumed.
    std::vector<std::string> leftovers() const;

private:
    std::size_t find_from(std::string_view option, std::size_t from) const;
    std::vector<std::string> args_;
};

// Surrounding white space (space, tab, CR, LF, VT, FF) removed.
std::string_view trim(std::string_view text);

// Splits "a | b;c,d" at each of "|,;", trims each element, drops empty ones.
std::vector<std::string> split_list(std::string_view text);

// Number syntax of the options: trimmed, lower-cased; with an "x" the digits
// after the first "x" are hexadecimal ("0x1F" = 31), else decimal. Anything
// else (no digits, stray characters, overflow) is refused.
std::optional<std::uint64_t> parse_number(std::string_view text);

// Date-time values "mm/dd/yyyy hh:mm:ss" (also "yyyy-mm-dd", either date
// separator, seconds optional) to FILETIME ticks, no time-zone adjustment.
// An empty time part is `default_time` ("00:00:00" or "23:59:59").
std::optional<std::uint64_t> parse_date_time(std::string_view text, std::string_view default_time);

// Command line text of the list: arguments joined by spaces, those holding
// white space (or empty) in double quotes.
std::string join_command_line(const std::vector<std::string>& args);

}  // namespace skelvar
