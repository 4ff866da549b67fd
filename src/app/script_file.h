// -script files: further options, one or more per line, appended to the
// command line as if typed after it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace skelvar {

// The whole file, or nothing when it cannot be read (or is implausibly large
// for an option file).
std::optional<std::string> read_script_file(const std::string& path);

// Tokens of a script text. The line-break style is taken from the first
// 1024 bytes (CR LF, CR, LF or LF CR); a text without a break there, or with
// breaks of mixed styles, yields nothing. Empty lines and "//" lines are
// skipped; a token starting with '"' runs to the first token ending with '"'
// and loses both quotes.
std::vector<std::string> script_tokens(std::string_view text);

}  // namespace skelvar
