// Which entries a walk reports: the cheap test before parsing and the full
// test after it.
#pragma once

#include <cstdint>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

struct mft_entries_ctx;

enum class preselection { keep, preselected, drop };

// True when any of the "OR" filters is in force (extensions, names, directories,
// entry numbers, wildcards, sizes). Paths asked for but not resolved count too:
// a filter that found nothing selects nothing rather than everything.
bool any_filter(const mft_entries_ctx& ctx);

// Deleted-only and entry-number lists, decided from the header alone.
preselection preselect(const mft_entries_ctx& ctx, std::uint64_t entry_number, bool in_use, mft_entry_info& entry);

// The tests on a parsed entry; each may leave marks and match texts in it.
bool time_test(const mft_entries_ctx& ctx, mft_entry_info& entry);
bool or_test(mft_entries_ctx& ctx, mft_entry_info& entry);
bool signature_test(mft_entries_ctx& ctx, mft_entry_info& entry);

// What the combination of the tests looks at.
struct selection_results {
    bool time_ok = true;
    bool or_ok = true;
    bool any_filter = false;
    bool and_logic = false;
    bool preselected = false;
    bool signatures_listed = false;
};

// Time window, then the OR test, then the signature test (run only when it can
// still change the verdict).
template <class SignatureTest>
bool combine_selection(const selection_results& r, SignatureTest&& signature) {
    if (!r.time_ok) return false;
    bool or_matched = false;
    if (r.or_ok) {
        or_matched = r.any_filter;
    } else {
        if (r.and_logic) return false;
        if (!r.preselected && !r.signatures_listed) return false;
    }
    const bool signature_ok = signature();
    return signature_ok || ((r.preselected || or_matched) && !r.and_logic);
}

// The full test on a parsed entry; false drops it.
bool select_entry(mft_entries_ctx& ctx, mft_entry_info& entry, bool preselected);

}  // namespace skelvar
