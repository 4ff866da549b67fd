// Content signatures of -filter_sig, tested on the leading bytes of a data stream.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace skelvar {

struct mft_entry_info;
struct catalogue_row;

struct signature_info {
    std::string_view name;           // as -filter_sig names it
    std::uint32_t type;
    std::uint32_t header_bytes;      // leading bytes the test reads
    std::string_view label;          // recorded in the entry when it matches
    std::string_view group_text;     // "" for the variants of a group
    std::string_view group_detail;
    bool (*test)(std::span<const std::uint8_t> header);
};

// Every signature -filter_sig can name, in type-code order.
std::span<const signature_info> signature_table();

// The table row of a type code (30 to 38); null for any other code.
const signature_info* find_signature_info(std::uint32_t type);

bool is_mz(std::span<const std::uint8_t> h);
bool is_16bit_mz(std::span<const std::uint8_t> h);
bool is_pe32(std::span<const std::uint8_t> h);
bool is_pe64(std::span<const std::uint8_t> h);
bool is_pe(std::span<const std::uint8_t> h);
bool is_hive(std::span<const std::uint8_t> h);
bool is_event_log(std::span<const std::uint8_t> h);
bool is_sqlite(std::span<const std::uint8_t> h);
bool is_lnk(std::span<const std::uint8_t> h);

// The stream the signature tests look at: the last $DATA in attribute order; null without one.
const catalogue_row* signature_stream(const mft_entry_info& entry);

}  // namespace skelvar
