// Signs that an entry's times were set by hand (timestomping), from the parsed entry alone.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace skelvar {

struct mft_entry_info;

// One bit each, in the order their names are written.
enum time_flag : std::uint8_t {
    tf_si_created_before_fn = 1,       // $SI creation earlier than a $FILE_NAME's creation
    tf_si_whole_seconds = 2,           // a $SI time without fraction while no $FILE_NAME time lacks one
    tf_si_modified_after_change = 4,   // $SI modification later than the $SI MFT-change time
    tf_before_volume = 8,              // a time before the volume was made
    tf_future = 16,                    // a time after the run started
};

constexpr std::array<std::string_view, 5> time_flag_names = {
    "si_created_before_fn", "si_whole_seconds", "si_modified_after_mft_change", "before_volume", "future"};

// What the times are weighed against; 0 leaves that test out.
struct time_bounds {
    std::uint64_t volume_created = 0;  // $SI creation of $Volume (else of $MFT)
    std::uint64_t reference = 0;       // start of the run
};

// Zero times (noted "null" elsewhere) take part in no test.
std::uint8_t compute_time_flags(const mft_entry_info& entry, const time_bounds& bounds);

}  // namespace skelvar
