#include "app/arg_list.h"

#include <chrono>
#include <limits>

namespace skelvar {

namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

int digit_value(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    return v < base ? v : -1;
}

std::optional<std::uint64_t> parse_digits(std::string_view digits, int base) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t v = 0;
    const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    for (char c : digits) {
        int d = digit_value(c, base);
        if (d < 0) return std::nullopt;
        if (v > (max - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base)) return std::nullopt;
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    }
    return v;
}

// Splits "a?b?c" at any of `seps` into exactly three unsigned fields.
bool three_fields(std::string_view text, std::string_view seps, unsigned (&out)[3], std::size_t (&widths)[3]) {
    std::size_t field = 0, start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && seps.find(text[i]) == std::string_view::npos) continue;
        if (field == 3) return false;
        std::string_view part = text.substr(start, i - start);
        if (part.empty() || part.size() > 4) return false;
        auto v = parse_digits(part, 10);
        if (!v) return false;
        out[field] = static_cast<unsigned>(*v);
        widths[field] = part.size();
        ++field;
        start = i + 1;
    }
    return field == 3;
}

}  // namespace

bool option_matches(std::string_view argument, std::string_view option) {
    if (argument.size() != option.size()) return false;
    for (std::size_t i = 0; i < argument.size(); ++i)
        if (lower(argument[i]) != lower(option[i])) return false;
    return true;
}

arg_list::arg_list(int argc, char** argv) {
    args_.reserve(argc > 0 ? static_cast<std::size_t>(argc) : 0);
    for (int i = 0; i < argc; ++i) args_.emplace_back(argv[i] ? argv[i] : "");
}

std::size_t arg_list::find_from(std::string_view option, std::size_t from) const {
    for (std::size_t i = from < 1 ? 1 : from; i < args_.size(); ++i)
        if (option_matches(args_[i], option)) return i;
    return args_.size();
}

bool arg_list::has_flag(std::string_view option) const { return find_from(option, 1) < args_.size(); }

bool arg_list::has_value(std::string_view option) const { return peek_value(option).has_value(); }

std::optional<std::string> arg_list::peek_value(std::string_view option) const {
    std::size_t i = find_from(option, 1);
    while (i < args_.size()) {
        if (i + 1 < args_.size()) return args_[i + 1];
        i = find_from(option, i + 1);
    }
    return std::nullopt;
}

bool arg_list::take_flag(std::string_view option) {
    std::size_t i = find_from(option, 1);
    if (i >= args_.size()) return false;
    args_.erase(args_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

std::optional<std::string> arg_list::take_value(std::string_view option) {
    std::size_t i = find_from(option, 1);
    // Only the last argument can lack a value; it stays where it is.
    if (i + 1 >= args_.size()) return std::nullopt;
    std::string value = std::move(args_[i + 1]);
    args_.erase(args_.begin() + static_cast<std::ptrdiff_t>(i), args_.begin() + static_cast<std::ptrdiff_t>(i + 2));
    return value;
}

std::vector<std::string> arg_list::leftovers() const {
    if (args_.size() <= 1) return {};
    return std::vector<std::string>(args_.begin() + 1, args_.end());
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
    return text;
}

std::vector<std::string> split_list(std::string_view text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '|' && text[i] != ',' && text[i] != ';') continue;
        std::string_view part = trim(text.substr(start, i - start));
        if (!part.empty()) out.emplace_back(part);
        start = i + 1;
    }
    return out;
}

std::optional<std::uint64_t> parse_number(std::string_view text) {
    std::string t;
    for (char c : trim(text)) t += lower(c);
    // The digits after the first "x" are hexadecimal, whatever stands before it ("1x10" is 0x10).
    std::size_t x = t.find('x');
    if (x == std::string::npos) return parse_digits(t, 10);
    return parse_digits(std::string_view(t).substr(x + 1), 16);
}

std::optional<std::uint64_t> parse_date_time(std::string_view text, std::string_view default_time) {
    text = trim(text);
    std::size_t space = text.find(' ');
    std::string_view date = text.substr(0, space);
    std::string_view time = space == std::string_view::npos ? std::string_view() : trim(text.substr(space + 1));
    if (time.empty()) time = default_time;

    unsigned d[3] = {};
    std::size_t w[3] = {};
    if (!three_fields(date, "/-", d, w)) return std::nullopt;
    unsigned year, month, day;
    if (w[0] == 4) year = d[0], month = d[1], day = d[2];  // yyyy-mm-dd
    else if (w[2] == 4) month = d[0], day = d[1], year = d[2];  // mm/dd/yyyy
    else return std::nullopt;

    unsigned t[3] = {};
    std::size_t tw[3] = {};
    if (!three_fields(time, ":", t, tw)) {
        // "hh:mm" is accepted with zero seconds.
        std::string with_seconds = std::string(time) + ":00";
        if (!three_fields(with_seconds, ":", t, tw)) return std::nullopt;
    }
    if (t[0] > 23 || t[1] > 59 || t[2] > 59) return std::nullopt;

    using namespace std::chrono;
    year_month_day ymd{std::chrono::year(static_cast<int>(year)), std::chrono::month(month), std::chrono::day(day)};
    if (!ymd.ok() || year < 1601) return std::nullopt;
    // Days between 1601-01-01 and 1970-01-01.
    constexpr std::int64_t epoch_gap_days = 134774;
    std::int64_t days = sys_days(ymd).time_since_epoch().count() + epoch_gap_days;
    std::int64_t seconds = days * 86400 + t[0] * 3600 + t[1] * 60 + t[2];
    return static_cast<std::uint64_t>(seconds) * 10000000ull;
}

std::string join_command_line(const std::vector<std::string>& args) {
    std::string out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i) out += ' ';
        const std::string& a = args[i];
        bool quote = a.empty();
        for (char c : a) quote = quote || is_space(c);
        if (quote) out += '"' + a + '"';
        else out += a;
    }
    return out;
}

}  // namespace skelvar
