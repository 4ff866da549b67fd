#include "report/extract_names.h"

#include <cstdio>
#include <vector>

#include "report/date_time.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

constexpr char hex_digits[] = "0123456789ABCDEF";

bool must_escape(unsigned char c) {
    if (c < 0x20 || c == 0x7F) return true;
    switch (c) {
        case '/': case '\\': case '%': case '<': case '>': case ':': case '"': case '|': case '?': case '*':
            return true;
        default:
            return false;
    }
}

void append_escaped(std::string& out, unsigned char c) {
    out += '%';
    out += hex_digits[c >> 4];
    out += hex_digits[c & 0x0F];
}

void append_code_unit_escape(std::string& out, char16_t unit) {
    out += "%u";
    for (int shift = 12; shift >= 0; shift -= 4) out += hex_digits[(unit >> shift) & 0x0F];
}

void append_safe(std::string& out, std::string_view utf8) {
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (must_escape(c)) append_escaped(out, c);
        else out += ch;
    }
}

std::string dots_escaped(std::string text) {
    if (text == "." || text == "..") {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) out += "%2E";
        return out;
    }
    return text;
}

bool is_high(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Host form of UTF-16 text without the whole-component dot rule.
std::string safe_text(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size() + 8);
    std::size_t start = 0;  // first unit not yet written
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t u = utf16[i];
        if (is_high(u) && i + 1 < utf16.size() && is_low(utf16[i + 1])) {
            ++i;
            continue;
        }
        if (!is_high(u) && !is_low(u)) continue;
        append_safe(out, uni::to_utf8(utf16.substr(start, i - start)));
        append_code_unit_escape(out, u);
        start = i + 1;
    }
    append_safe(out, uni::to_utf8(utf16.substr(start)));
    return out;
}

// Offsets where `text` (host-encoded UTF-8) may be cut: not inside a UTF-8
// sequence or an escape.
std::vector<std::size_t> cut_points(std::string_view text) {
    std::vector<std::size_t> points;
    for (std::size_t i = 0; i < text.size();) {
        points.push_back(i);
        if (text[i] == '%') {
            i += i + 1 < text.size() && text[i + 1] == 'u' ? 6 : 3;
            continue;
        }
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    }
    points.push_back(text.size());
    return points;
}

// Shortens `text` to at most `budget` bytes by dropping its middle, marked "%~".
std::string shortened(const std::string& text, std::size_t budget) {
    if (text.size() <= budget) return text;
    static constexpr std::string_view mark = "%~";
    if (budget <= mark.size()) return std::string(mark.substr(0, budget));
    const std::vector<std::size_t> points = cut_points(text);
    const std::size_t room = budget - mark.size();
    const std::size_t tail_room = room / 3;  // enough for an extension and a stream name's end
    std::size_t tail = text.size();
    for (auto it = points.rbegin(); it != points.rend(); ++it)
        if (text.size() - *it <= tail_room) tail = *it;
    std::size_t head = 0;
    for (std::size_t p : points)
        if (p <= room - (text.size() - tail)) head = p;
    return text.substr(0, head) + std::string(mark) + text.substr(tail);
}

}  // namespace

std::string host_safe_component(std::string_view utf8) {
    std::string out;
    append_safe(out, utf8);
    return dots_escaped(std::move(out));
}

std::string host_safe_component(std::u16string_view utf16) { return dots_escaped(safe_text(utf16)); }

std::string_view state_folder_name(entry_state state) {
    switch (state) {
        case entry_state::valid: return "valid";
        case entry_state::deleted_mft: return "deleted-mft";
        case entry_state::deleted_unalloc: return "deleted-unalloc";
    }
    return "valid";
}

std::string category_folder_name(category_kind kind, std::string_view text) {
    switch (kind) {
        case category_kind::wildcard: return "wildcard";
        case category_kind::inodes: return "inodes";
        case category_kind::catchall: return "catchall";
        default: break;
    }
    std::string name;
    if (kind == category_kind::directory) {
        if (!text.empty() && (text.front() == '\\' || text.front() == '/')) name = "[root]";
        for (const char c : text) {
            if (c == '\\' || c == '/') name += '-';
            else if (c == ' ') name += '_';
            else if (c != ':') name += c;
        }
    } else {
        name = text;
    }
    return name.empty() ? "catchall" : host_safe_component(name);
}

std::string extracted_file_name(const extracted_name_parts& p) {
    const broken_down_time t = to_broken_down_time(p.si_modified);
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%04u_%02u_%02u_%02u%02u_%02u_%03u_", t.valid ? t.year : 0u,
                  t.valid ? t.month : 0u, t.valid ? t.day : 0u, t.valid ? t.hour : 0u, t.valid ? t.minute : 0u,
                  t.valid ? t.second : 0u, t.valid ? t.millisecond : 0u);
    std::string prefix = stamp;
    append_safe(prefix, p.md5);
    prefix += '_';

    std::string evidence = safe_text(p.file_name);
    if (!p.stream_name.empty()) evidence += '.' + safe_text(p.stream_name);

    std::string suffix;
    if (p.label != "unnamed data") {
        suffix += '_';
        append_safe(suffix, p.label);
    }
    if (!p.use_orig_ext) suffix += ".bin";

    const std::size_t fixed = prefix.size() + suffix.size();
    const std::size_t budget = fixed < host_name_max ? host_name_max - fixed : 0;
    return prefix + shortened(evidence, budget) + suffix;
}

}  // namespace skelvar
