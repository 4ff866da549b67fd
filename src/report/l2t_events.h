// Events of the log2timeline layout: per source, the distinct values of its four
// times, each with the letters of the times that hold it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "report/timestamp_map.h"

namespace skelvar {

struct result_record;
struct standard_info;

struct l2t_event {
    std::uint64_t value = 0;
    time_source source = src_si;
    std::uint32_t name = 0;                      // index into the record's name table
    std::array<char, 4> macb{'.', '.', '.', '.'};  // "M", "A", "C", "B" where the time holds the value
};

// SI events (under `si_name`) and the events of every named $FILE_NAME, in ascending
// time order (then SI before FN before FN8.3, then name order). `events` is reused.
void gather_l2t_events(const result_record& rec, const standard_info* si, std::uint32_t si_name,
                       std::vector<l2t_event>& events);

// " [" and the letters up to the last one set; "]" closes only when the B letter is set.
void append_bracketed_macb(const std::array<char, 4>& macb, std::string& out);

// "$SI:", "$FN:" or "$FN8.3:".
const char* event_label(time_source source);

}  // namespace skelvar
