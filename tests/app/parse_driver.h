// Runs the option driver over a command line the way the program does, capturing what it says.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/arg_list.h"
#include "app/mft_entries_ctx.h"
#include "app/option_driver.h"

namespace skelvar {

struct parsed {
    int rc = 0;
    std::string err;
    std::vector<std::string> left;
};

// An $MFT file source is added unless told otherwise.
inline parsed parse(mft_entries_ctx& ctx, std::vector<std::string> a, bool with_source = true) {
    a.insert(a.begin(), "skelvar");
    if (with_source) {
        a.push_back("-mftfile");
        a.push_back("m.bin");
    }
    arg_list args(std::move(a));
    testing::internal::CaptureStderr();
    parsed p;
    p.rc = run_option_driver(ctx, args);
    p.err = testing::internal::GetCapturedStderr();
    p.left = args.leftovers();
    return p;
}

}  // namespace skelvar
