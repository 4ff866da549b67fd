// The distinct timestamps of one entry in ascending order, each with the MACB
// letters of the $STANDARD_INFORMATION times that hold it and the names that
// carry it, each name with the letters of its own $FILE_NAME times. Cells are
// pooled and reused from entry to entry, so building the map of a record does
// not allocate.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace skelvar {

enum time_source : std::uint8_t { src_si = 0, src_fn = 1, src_fn83 = 2 };

using macb_letters = std::array<char, 4>;  // "...." when unset

// A name in a cell: the letters of its own $FILE_NAME times that hold the cell's value.
struct cell_name {
    std::uint32_t name = 0;  // index into the record's name table
    macb_letters letters{'.', '.', '.', '.'};
    bool any = false;
    std::uint8_t bits = 0;  // the letters set, one bit each (m = 1 ... b = 8)
};

struct macb_cell {
    std::uint64_t value = 0;
    macb_letters si{'.', '.', '.', '.'};
    bool any_si = false;
    std::uint8_t si_bits = 0;  // as cell_name::bits
    std::vector<cell_name> long_names;
    std::vector<cell_name> dos_names;

    void reset(std::uint64_t v);
};

class timestamp_map {
public:
    void clear();
    // Sets each letter of `source` (modified, accessed, changed, created: 'm', 'a', 'c', 'b') in
    // the cell of its value and adds the name to that cell's long or DOS set; an SI letter
    // belongs to the cell, an FN or FN8.3 letter to the name. The four go in one call: an
    // entry enters four times per source and name, and often the same value more than once.
    // `name_is_new`: the name has entered no time before except in the calls just made, so a
    // repeat can only be the last name of the set (this keeps records with many names linear).
    void enter(const std::array<std::uint64_t, 4>& values, time_source source, std::uint32_t name, bool dos,
               bool name_is_new = false);

    std::size_t size() const { return order_.size(); }
    bool empty() const { return order_.empty(); }
    // i-th cell in ascending timestamp order.
    const macb_cell& operator[](std::size_t i) const { return pool_[order_[i].index]; }

private:
    macb_cell& find_or_insert(std::uint64_t value);

    struct slot {
        std::uint64_t value;
        std::uint32_t index;  // in pool_
    };
    std::vector<macb_cell> pool_;
    std::size_t used_ = 0;
    std::vector<slot> order_;  // sorted by value
    std::size_t last_ = 0;     // the cell found last: an entry's times repeat for each of its names
};

}  // namespace skelvar
