// The manual page, rendered from the option tables so that the two agree.
#pragma once

#include <string>

namespace skelvar {

// roff source of skelvar(1); docs/skelvar.1 holds the committed copy.
std::string render_manual_page();

}  // namespace skelvar
