#include "report/l2t_events.h"

#include <algorithm>

#include "ntfs/mft_entry_info.h"
#include "report/result_record.h"

namespace skelvar {

namespace {

void add_source(std::vector<l2t_event>& events, time_source source, std::uint32_t name,
                const std::array<std::uint64_t, 4>& times) {
    static constexpr char letters[4] = {'M', 'A', 'C', 'B'};
    const std::size_t first = events.size();
    for (std::size_t i = 0; i < 4; ++i) {
        l2t_event* hit = nullptr;
        for (std::size_t k = first; k < events.size() && !hit; ++k)
            if (events[k].value == times[i]) hit = &events[k];
        if (!hit) {
            hit = &events.emplace_back();
            hit->value = times[i];
            hit->source = source;
            hit->name = name;
        }
        hit->macb[i] = letters[i];
    }
}

}  // namespace

void gather_l2t_events(const result_record& rec, const standard_info* si, std::uint32_t si_name,
                       std::vector<l2t_event>& events) {
    events.clear();
    if (si) add_source(events, src_si, si_name, {si->modified, si->accessed, si->mft_changed, si->created});
    for (std::uint32_t i = 0; i < rec.names.size(); ++i) {
        const file_name_info* fn = rec.names[i].fn;
        if (!fn) continue;
        add_source(events, fn->is_dos ? src_fn83 : src_fn, i, {fn->modified, fn->accessed, fn->mft_changed, fn->created});
    }
    std::sort(events.begin(), events.end(), [](const l2t_event& a, const l2t_event& b) {
        if (a.value != b.value) return a.value < b.value;
        if (a.source != b.source) return a.source < b.source;
        return a.name < b.name;
    });
}

void append_bracketed_macb(const std::array<char, 4>& macb, std::string& out) {
    char text[7] = {' ', '['};
    std::size_t n = 2;
    std::size_t last = 0;
    for (std::size_t i = 0; i < 4; ++i)
        if (macb[i] != '.') last = i + 1;
    for (std::size_t i = 0; i < last; ++i) text[n++] = macb[i];
    if (macb[3] != '.') text[n++] = ']';
    out.append(text, n);
}

const char* event_label(time_source source) {
    switch (source) {
        case src_si: return "$SI:";
        case src_fn: return "$FN:";
        default: return "$FN8.3:";
    }
}

}  // namespace skelvar
