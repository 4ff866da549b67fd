#include "ntfs/time_flags.h"

#include <algorithm>

#include "ntfs/mft_entry_info.h"

namespace skelvar {

namespace {

constexpr std::uint64_t ticks_per_second = 10'000'000;

// A second is 2^7 * 5^7 ticks: the low bits turn nearly every time with a fraction away
// before the division.
bool whole_second(std::uint64_t t) {
    if ((t & 0x7F) != 0) [[likely]]
        return false;
    return t != 0 && t % ticks_per_second == 0;
}

struct four_times {
    std::uint64_t t[4];
};

// The bounds as the tests of a time against them: a time t is before the volume when
// t - 1 < `below` (a zero time wraps around and never is) and after the run when t > `above`.
struct bound_tests {
    std::uint64_t below, above;
    explicit bound_tests(const time_bounds& b)
        : below(b.volume_created ? b.volume_created - 1 : 0), above(b.reference ? b.reference : ~0ull) {}
};

void weigh_bounds(const four_times& f, const bound_tests& b, std::uint8_t& flags) {
    std::uint64_t earliest = ~0ull, latest = 0;
    for (std::uint64_t t : f.t) {
        earliest = std::min(earliest, t - 1);
        latest = std::max(latest, t);
    }
    if (earliest < b.below) flags |= tf_before_volume;
    if (latest > b.above) flags |= tf_future;
}

}  // namespace

std::uint8_t compute_time_flags(const mft_entry_info& entry, const time_bounds& bounds) {
    std::uint8_t flags = 0;
    const bound_tests tests(bounds);
    const standard_info* si = entry.standard();
    bool fn_fraction = false, fn_whole = false;
    for (const auto& [key, fn] : entry.file_names) {
        (void)key;
        const four_times f{{fn.created, fn.modified, fn.mft_changed, fn.accessed}};
        weigh_bounds(f, tests, flags);
        for (std::uint64_t t : f.t) {
            if (whole_second(t)) fn_whole = true;
            else if (t != 0) fn_fraction = true;
        }
        if (si && si->created != 0 && si->created < fn.created) flags |= tf_si_created_before_fn;
    }
    if (!si) return flags;
    const four_times s{{si->created, si->modified, si->mft_changed, si->accessed}};
    weigh_bounds(s, tests, flags);
    // Tools that set times often write whole seconds; the system itself keeps 100 ns.
    if (fn_fraction && !fn_whole)
        for (std::uint64_t t : s.t)
            if (whole_second(t)) flags |= tf_si_whole_seconds;
    if (si->mft_changed != 0 && si->modified > si->mft_changed) flags |= tf_si_modified_after_change;
    return flags;
}

}  // namespace skelvar
