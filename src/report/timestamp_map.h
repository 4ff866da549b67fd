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

// The letters of a set kept as bits (m = 1, a = 2, c = 4, b = 8), unset ones as '.'.
macb_letters letters_of(std::uint8_t bits);

// A name in a cell: the letters of its own $FILE_NAME times that hold the cell's value.
struct cell_name {
    std::uint32_t name = 0;  // index into the record's name table
    std::uint8_t bits = 0;   // the letters set, one bit each (m = 1 ... b = 8)
    bool any = false;
    macb_letters letters() const { return letters_of(bits); }
};

struct macb_cell {
    std::uint64_t value = 0;
    std::uint8_t si_bits = 0;  // as cell_name::bits
    bool any_si = false;
    std::vector<cell_name> long_names;
    std::vector<cell_name> dos_names;

    macb_letters si() const { return letters_of(si_bits); }
    void reset(std::uint64_t v);
};

class timestamp_map {
public:
    using times = std::array<std::uint64_t, 4>;  // modified, accessed, changed, created ('m', 'a', 'c', 'b')

    void clear();
    // The $STANDARD_INFORMATION times, which every name entered after this call carries too.
    // Their letters belong to the cell; the cells are made with the first name.
    void set_si(const times& values);
    // A name: it joins the long or DOS set of the cells of the $STANDARD_INFORMATION times and
    // of its own $FILE_NAME times (`fn`, none when null), whose letters belong to the name.
    // `name_is_new`: the name entered no time before, so no cell holds it yet (this keeps
    // records with many names linear).
    void enter(std::uint32_t name, bool dos, const times* fn, bool name_is_new);

    std::size_t size() const { return used_; }
    bool empty() const { return used_ == 0; }
    // i-th cell in ascending timestamp order.
    const macb_cell& operator[](std::size_t i) const { return pool_[order_[i].index]; }

private:
    std::uint32_t find_or_insert(std::uint64_t value);
    void reserve(std::size_t cells);  // room for that many cells in pool_ and order_
    void make_si_cells();
    // Adds the name to the cell's set (once) with the letters of its own times there.
    void join(macb_cell& c, std::uint32_t name, bool dos, std::uint8_t bits, bool name_is_new);

    struct slot {
        std::uint64_t value;
        std::uint32_t index;  // in pool_
    };
    // The first used_ of each are the entry's cells: they keep their size, so that an entry
    // reuses the room of the ones before.
    std::vector<macb_cell> pool_;
    std::vector<slot> order_;  // sorted by value
    std::size_t used_ = 0;
    // The $STANDARD_INFORMATION times, each distinct value once with its letters (in ascending
    // order), and their cells.
    std::array<std::uint64_t, 4> si_values_{};
    std::array<std::uint8_t, 4> si_bits_{};
    std::array<std::uint32_t, 4> si_cells_{};
    std::size_t si_count_ = 0;
    bool si_made_ = true;
};

}  // namespace skelvar
