// Turns the argument list into the settings of the run context.
#pragma once

#include <string_view>

#include "app/arg_list.h"

namespace skelvar {

struct mft_entries_ctx;

enum option_result : int {
    options_ok = 0,
    options_stop = -1,       // the reason was printed
    options_invalid = -2,    // the caller prints "invalid cmd options, aborting"
    options_no_source = -3,  // the missing-source message was printed
};

// Expands -script, applies the driver, generic and main option tables, checks
// the source and the rights for live sources, and hands each layer the
// settings it reads. `args` is left holding what no table consumed.
int run_option_driver(mft_entries_ctx& ctx, arg_list& args);

// The generic handler alone (layout and general options, output-file test).
bool apply_generic_options(mft_entries_ctx& ctx, arg_list& args, const std::string& command_line);

// The main parser alone (sources, filters, actions, the source check).
int apply_main_options(mft_entries_ctx& ctx, arg_list& args);

// Current time as FILETIME ticks.
std::uint64_t filetime_now();

}  // namespace skelvar
