#include "ntfs/extension_index.h"

#include <algorithm>
#include <utility>

#include "ntfs/mft_source.h"
#include "ntfs/ntfs_types.h"
#include "ntfs/record_header.h"
#include "support/binary_data.h"
#include "support/diag_log.h"

namespace skelvar {

namespace {

constexpr std::uint64_t piece_bytes = 1 << 20;
// Header fields up to the base reference lie before the first sector's fixup slot.
constexpr std::uint32_t header_bytes = 0x30;

}  // namespace

extension_index::extension_index(mft_source& source, std::uint32_t record_size, diag_log& log) {
    const std::uint64_t size = source.size_bytes();
    if (record_size < header_bytes || size < record_size) return;
    const std::uint64_t per_piece = std::max<std::uint64_t>(1, piece_bytes / record_size);
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(per_piece * record_size));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> links;  // (base, extension)
    const std::uint64_t total = size / record_size;
    for (std::uint64_t entry = 0; entry < total; entry += per_piece) {
        const std::uint64_t count = std::min(per_piece, total - entry);
        const auto length = static_cast<std::uint32_t>(count * record_size);
        const bool whole = source.read_at(entry * record_size, length, piece.data());
        // Record by record where the source cannot serve the whole piece (holes in the runs).
        for (std::uint64_t i = 0; i < count; ++i) {
            std::uint8_t* rec = piece.data() + i * record_size;
            if (!whole && !source.read_at((entry + i) * record_size, header_bytes, rec)) continue;
            const file_record_header h = read_record_header(kavo::binary_data({rec, header_bytes}));
            if (h.valid_file() && h.is_extension()) links.emplace_back(ref_entry(h.base_ref), entry + i);
        }
    }
    std::sort(links.begin(), links.end());
    bases_.reserve(links.size());
    extensions_.reserve(links.size());
    for (const auto& [base, ext] : links) {
        bases_.push_back(base);
        extensions_.push_back(ext);
    }
    log.line("info: %llu records scanned for extension records, %llu found", static_cast<unsigned long long>(total),
             static_cast<unsigned long long>(links.size()));
}

std::span<const std::uint64_t> extension_index::of(std::uint64_t base) const {
    const auto [from, to] = std::equal_range(bases_.begin(), bases_.end(), base);
    return std::span<const std::uint64_t>(extensions_).subspan(static_cast<std::size_t>(from - bases_.begin()),
                                                              static_cast<std::size_t>(to - from));
}

}  // namespace skelvar
