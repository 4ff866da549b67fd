#include "ntfs/time_flags.h"

#include "ntfs/mft_entry_info.h"

namespace skelvar {

namespace {

constexpr std::uint64_t ticks_per_second = 10'000'000;

bool whole_second(std::uint64_t t) { return t != 0 && t % ticks_per_second == 0; }

struct four_times {
    std::uint64_t t[4];
};

void weigh_bounds(const four_times& f, const time_bounds& b, std::uint8_t& flags) {
    for (std::uint64_t t : f.t) {
        if (t == 0) continue;
        if (b.volume_created && t < b.volume_created) flags |= tf_before_volume;
        if (b.reference && t > b.reference) flags |= tf_future;
    }
}

}  // namespace

std::uint8_t compute_time_flags(const mft_entry_info& entry, const time_bounds& bounds) {
    std::uint8_t flags = 0;
    const standard_info* si = entry.standard();
    bool fn_fraction = false, fn_whole = false;
    for (const auto& [key, fn] : entry.file_names) {
        (void)key;
        const four_times f{{fn.created, fn.modified, fn.mft_changed, fn.accessed}};
        weigh_bounds(f, bounds, flags);
        for (std::uint64_t t : f.t) {
            if (whole_second(t)) fn_whole = true;
            else if (t != 0) fn_fraction = true;
        }
        if (si && si->created != 0 && si->created < fn.created) flags |= tf_si_created_before_fn;
    }
    if (!si) return flags;
    const four_times s{{si->created, si->modified, si->mft_changed, si->accessed}};
    weigh_bounds(s, bounds, flags);
    // Tools that set times often write whole seconds; the system itself keeps 100 ns.
    if (fn_fraction && !fn_whole)
        for (std::uint64_t t : s.t)
            if (whole_second(t)) flags |= tf_si_whole_seconds;
    if (si->mft_changed != 0 && si->modified > si->mft_changed) flags |= tf_si_modified_after_change;
    return flags;
}

}  // namespace skelvar
