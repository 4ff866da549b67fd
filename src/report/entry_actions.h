// The per-entry actions that read more than the record: header samples of the
// unnamed data stream, Zone.Identifier streams kept in clusters, the owner SID,
// copies of the data streams and the digests of the unnamed one. They run once
// per written entry, just before its lines are built.
#pragma once

#include <memory>
#include <string>

#include "ntfs/secure_table.h"
#include "report/file_extraction.h"
#include "report/report_context.h"

namespace skelvar {

struct mft_entry_info;

class entry_actions {
public:
    explicit entry_actions(const report_context& context) : context_(context) {}

    // Fills the action results of `entry` that the options ask for; a second
    // call for the same entry does nothing.
    void run(mft_entry_info& entry);

    // Owner SID of the entry: from the $Secure descriptor of its security id, else
    // from its own $SECURITY_DESCRIPTOR attribute; empty when neither gives one.
    std::string owner_sid(const mft_entry_info& entry);

private:
    void read_zone_streams(mft_entry_info& entry);
    // Copies the chosen streams and takes the digests of the unnamed one (from
    // its copy when there is one). A stream that fails is named on standard error.
    void copy_and_hash(mft_entry_info& entry);

    const report_context context_;  // a copy: it names the settings, it owns nothing
    security_table security_;  // $Secure:$SDS, loaded on first use
    std::unique_ptr<file_extractor> extractor_;  // made for the first stream
    bool told_no_clusters_ = false;
};

}  // namespace skelvar
