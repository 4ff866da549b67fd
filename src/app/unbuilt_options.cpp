#include "app/unbuilt_options.h"

#include "app/mft_entries_ctx.h"
#include "support/console.h"

namespace skelvar {

void warn_unbuilt_options(const mft_entries_ctx& ctx) {
    using console::message;
    const report_options& o = ctx.output;
    const pending_options& p = ctx.pending;
    if (o.files_copied)
        message("warning: -action_copy_files: copying files is not built yet; nothing is copied to %s\n",
                p.copy_dir.c_str());
    if (o.hash_layout)
        message("warning: -hashfile: hashes are not built yet; the entries are written as the default timeline\n");
    else if (o.md5 || o.sha1 || o.sha256)
        message("warning: -md5/-sha1/-sha256: hashes are not built yet; the hash columns stay empty\n");
    if (p.find_objid_given) message("warning: -find_objid: the object id search is not built yet; ignored\n");
}

}  // namespace skelvar
