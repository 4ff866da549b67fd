// The usage text printed for -h, -help, /?, --help or an empty command line.
#pragma once

#include <string>
#include <string_view>

namespace skelvar {

// Column (from 1) where "=" stands in the option lines of the usage text.
constexpr std::size_t usage_equals_column = 43;

std::string usage_text(std::string_view banner);

// Writes the usage text to standard error, one write per line.
void print_usage(std::string_view banner);

// True when the command line asks for the usage text.
bool wants_usage(int argc, char** argv);

}  // namespace skelvar
