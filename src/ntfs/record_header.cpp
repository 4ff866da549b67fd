#include "ntfs/record_header.h"

namespace skelvar {

bool file_record_header::extends(std::uint64_t base_entry, const file_record_header& base) const {
    if (base_ref == 0 || ref_entry(base_ref) != base_entry) return false;
    const std::uint16_t linked = ref_seq(base_ref);
    // Some writers leave sequence numbers at 0: nothing to compare then.
    if (linked == 0 || base.sequence == 0 || linked == base.sequence) return true;
    return !base.in_use() && !in_use() && next_sequence(linked) == base.sequence;
}

bool file_record_header::listed_as(std::uint16_t listed) const {
    if (listed == 0 || sequence == 0 || listed == sequence) return true;
    return !in_use() && next_sequence(listed) == sequence;
}

}  // namespace skelvar
