// The program's name and version as every header and layout writes them.
#pragma once

#include <string_view>

namespace skelvar {

constexpr std::string_view program_name = "skelvar";
constexpr std::string_view version_text = "ver: 0.95";

}  // namespace skelvar
