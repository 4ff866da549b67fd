// What the walk hands each entry to: selection and writing live in the layers
// above and reach the walk only through this interface.
#pragma once

#include <cstdint>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

enum class preselection { keep, preselected, drop };

class entry_visitor {
public:
    virtual ~entry_visitor() = default;
    // From the header alone, before any attribute is decoded.
    virtual preselection preselect(std::uint64_t entry_number, bool in_use, mft_entry_info& entry) = 0;
    // On the parsed entry; false drops it.
    virtual bool select(mft_entry_info& entry, bool preselected) = 0;
    // A selected entry with its paths resolved.
    virtual void write(mft_entry_info& entry) = 0;
    // At every progress step, between entries: what was written so far may be
    // made durable, so an interrupted run keeps it.
    virtual void checkpoint() {}
};

}  // namespace skelvar
