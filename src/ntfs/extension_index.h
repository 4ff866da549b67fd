// Which records extend which base entry, by the base reference each extension
// record carries. Serves an extracted $MFT, where a non-resident attribute list
// (in clusters of the volume) cannot say where a base entry's attributes went.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace skelvar {

class diag_log;
class mft_source;

class extension_index {
public:
    // Reads every record header of `source` once, in large sequential pieces.
    extension_index(mft_source& source, std::uint32_t record_size, diag_log& log);

    // Extension records naming `base`, ascending.
    std::span<const std::uint64_t> of(std::uint64_t base) const;

private:
    // Sorted by base, then extension: extensions_[i] names bases_[i].
    std::vector<std::uint64_t> bases_, extensions_;
};

}  // namespace skelvar
