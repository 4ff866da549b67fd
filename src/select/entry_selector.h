// Which entries a walk reports: the cheap test before parsing and the full
// test after it. The filter collections are only read here; the scratch
// buffers of the name and header tests belong to the selector.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ntfs/entry_visitor.h"
#include "ntfs/mft_entry_info.h"
#include "ntfs/stream_head.h"
#include "select/filter_collections.h"
#include "select/selection_settings.h"

namespace skelvar {

class ntfs_volume;

class entry_selector {
public:
    // `volume` gives access to file data for the signature tests (null for an
    // extracted $MFT file: the tests then pass without looking). `hex_numbers`
    // writes entry numbers of match texts in hexadecimal.
    entry_selector(const selection_settings& settings, const filter_collections& filters,
                   const header_request& header, ntfs_volume* volume, bool hex_numbers)
        : settings_(settings), filters_(filters), header_(header), volume_(volume), hex_numbers_(hex_numbers) {}

    // True when any of the "OR" filters is in force (extensions, names, directories,
    // entry numbers, wildcards, sizes, paths asked for).
    bool any_filter() const;

    // Deleted-only and entry-number lists, decided from the header alone.
    preselection preselect(std::uint64_t entry_number, bool in_use, mft_entry_info& entry) const;

    // The full test on a parsed entry: time window, then the OR test, then the
    // signature test (run only when it can still change the verdict). False drops it.
    bool select(mft_entry_info& entry, bool preselected);

    // The single tests; each may leave marks and match texts in the entry.
    bool time_test(mft_entry_info& entry) const;
    bool or_test(mft_entry_info& entry);
    bool signature_test(mft_entry_info& entry);

private:
    bool stream_match(const filter_item& item, mft_entry_info& e, std::uint64_t n, const char* label);
    bool size_step(mft_entry_info& e) const;

    const selection_settings& settings_;
    const filter_collections& filters_;
    const header_request& header_;
    ntfs_volume* volume_;
    bool hex_numbers_;
    // Scratch, so the per-entry path allocates nothing once warm.
    std::u16string lower_name_;
    std::vector<std::u16string> lower_names_;
    std::vector<std::uint8_t> sample_;
};

}  // namespace skelvar
