#include "app/script_file.h"

#include <fstream>
#include <iterator>

#include "app/arg_list.h"

namespace skelvar {

namespace {

constexpr std::size_t max_script_bytes = 16u << 20;
constexpr std::size_t style_window = 1024;

enum class line_break { none, crlf, cr, lf, lfcr, mixed };

line_break detect_style(std::string_view text) {
    line_break style = line_break::none;
    std::size_t end = text.size() < style_window ? text.size() : style_window;
    for (std::size_t i = 0; i < end; ++i) {
        line_break found;
        if (text[i] == '\r') {
            found = (i + 1 < text.size() && text[i + 1] == '\n') ? line_break::crlf : line_break::cr;
        } else if (text[i] == '\n') {
            found = (i + 1 < text.size() && text[i + 1] == '\r') ? line_break::lfcr : line_break::lf;
        } else {
            continue;
        }
        if (found == line_break::crlf || found == line_break::lfcr) ++i;
        if (style == line_break::none) style = found;
        else if (style != found) return line_break::mixed;
    }
    return style;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n'; }

void tokenize_line(std::string_view line, std::vector<std::string>& out) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && is_blank(line[i])) ++i;
        std::size_t start = i;
        while (i < line.size() && !is_blank(line[i])) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    for (std::size_t w = 0; w < words.size(); ++w) {
        if (words[w].front() != '"') {
            out.emplace_back(words[w]);
            continue;
        }
        std::string token(words[w].substr(1));
        bool closed = words[w].size() > 1 && words[w].back() == '"';
        while (!closed && w + 1 < words.size()) {
            ++w;
            token += ' ';
            token += words[w];
            closed = words[w].back() == '"';
        }
        if (closed) token.pop_back();
        out.push_back(std::move(token));
    }
}

}  // namespace

std::optional<std::string> read_script_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::uint64_t>(size) > max_script_bytes) return std::nullopt;
    in.seekg(0);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !in.read(text.data(), size)) return std::nullopt;
    return text;
}

std::vector<std::string> script_tokens(std::string_view text) {
    std::vector<std::string> tokens;
    line_break style = detect_style(text);
    if (style == line_break::none || style == line_break::mixed) return tokens;

    std::string converted;
    char split_at = '\n';
    if (style == line_break::cr) {
        split_at = '\r';
    } else if (style == line_break::lfcr) {
        converted.assign(text);
        for (char& c : converted)
            if (c == '\n') c = ' ';
        text = converted;
        split_at = '\r';
    }

    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(split_at, start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = trim(text.substr(start, end - start));
        if (!line.empty() && line.substr(0, 2) != "//") tokenize_line(line, tokens);
        start = end + 1;
    }
    return tokens;
}

}  // namespace skelvar
