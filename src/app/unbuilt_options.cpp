#include "app/unbuilt_options.h"

#include "app/mft_entries_ctx.h"
#include "support/console.h"

namespace skelvar {

void warn_unbuilt_options(const mft_entries_ctx& ctx) {
    using console::message;
    const report_options& o = ctx.output;
    const pending_options& p = ctx.pending;
    if (o.record_dump)
        message("warning: -find_mft: the record dump is not built yet; the entry is written as the default "
                "timeline\n");
    if (p.hexdump) message("warning: -hexdump: the record dump is not built yet; ignored\n");
    if (p.find_objid_given) message("warning: -find_objid: the object id search is not built yet; ignored\n");
    if (ctx.unalloc_scan || ctx.deleted_all || ctx.all_clusters || p.scan_start || p.scan_size)
        message("warning: scanning unallocated clusters is not built yet; only the $MFT is walked\n");
}

}  // namespace skelvar
