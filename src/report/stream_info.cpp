#include "report/stream_info.h"

#include "report/report_options.h"
#include "ntfs/mft_entry_info.h"
#include "report/number_text.h"
#include "support/utf8.h"

namespace skelvar {

void append_stream_info(const mft_entry_info& entry, const report_options& options, std::string& out) {
    for (const auto& [key, row] : entry.catalogue) {
        (void)key;
        if (!row.is_data) continue;
        out += '[';
        if (!row.name.empty()) {
            uni::append_utf8(row.name, out);
            out += " : ";
        }
        out += row.label;
        out += " : sz: 0x";
        append_hex(out, row.stream_size(), 4);
        out += " : ";
        if (row.non_resident && options.cluster_info) {
            out += "start cluster/count: ";
            if (row.runs.empty()) out += "none : ";
            for (const compact_run& r : row.runs) {
                out += "0x";
                append_hex(out, r.lcn, 6);
                out += '/';
                append_dec(out, r.count);
                if (r.sparse) out += " [sparse]";
                out += " : ";
            }
        } else {
            out += row.non_resident ? "nonresident : " : "resident : ";
        }
        out.resize(out.size() - 3);  // the last " : "
        out += "]; ";
    }

    if (std::uint64_t lsn = entry.logfile_seqnum()) {
        out += "[logfile_seqnum: 0x";
        append_hex(out, lsn, 6);
        out += ']';
    }
    if (const standard_info* si = entry.standard()) {
        if (si->usn) {
            out += "[usnjrnl_indx: 0x";
            append_hex(out, si->usn, 6);
            out += ']';
        }
        if (si->security_id) {
            out += "[security_id: 0x";
            append_hex(out, si->security_id, 4);
            out += ']';
        }
    }
    if (options.owner_sid && !entry.owner_sid.empty()) {
        out += "[owner_sid: ";
        out += entry.owner_sid;
        out += ']';
    }
}

}  // namespace skelvar
