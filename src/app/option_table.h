// The option tables: one descriptor per option, in the order the parsers
// apply them. The same rows feed the parsers and the manual page.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "app/arg_list.h"

namespace skelvar {

struct mft_entries_ctx;

// What a handler sees while the options are applied.
struct option_state {
    mft_entries_ctx& ctx;
    arg_list& args;
    std::string command_line;  // the list as given, for the -diags log
    bool script_expanded = false;
};

// 0 accepts the option; anything else stops parsing with that code.
using option_handler = int (*)(option_state&, const std::string& value);

enum class option_stage { driver, generic, main };

struct option_desc {
    std::string_view name;
    std::string_view value_name;  // "" for a flag, else "<file>", "<list>", ...
    std::string_view meaning;     // one line, for the manual page
    option_handler handler;
    bool takes_value() const { return !value_name.empty(); }
};

std::span<const option_desc> driver_options();
std::span<const option_desc> generic_options();
std::span<const option_desc> main_options();

// True when `argument` names an option that takes a value (in any table).
bool names_value_option(std::string_view argument);

// Applies every row of a table in row order; each occurrence of an option is
// consumed and handled. Returns the first non-zero handler result, else 0.
int apply_options(std::span<const option_desc> table, option_state& state);

}  // namespace skelvar
