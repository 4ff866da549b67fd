// Options whose work is not built yet: the run says so instead of running as
// if they had worked. Their values stay stored in the run context.
#pragma once

namespace skelvar {

struct mft_entries_ctx;

// One warning line on standard error for each such option given.
void warn_unbuilt_options(const mft_entries_ctx& ctx);

}  // namespace skelvar
