#include "app/unbuilt_options.h"

#include "app/mft_entries_ctx.h"
#include "support/console.h"

namespace skelvar {

void warn_unbuilt_options(const mft_entries_ctx& ctx) {
    using console::message;
    const pending_options& p = ctx.pending;
    if (p.find_objid_given) message("warning: -find_objid: the object id search is not built yet; ignored\n");
}

}  // namespace skelvar
