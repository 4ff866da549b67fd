// libFuzzer harness over VMDK descriptors and the chain built from them. The
// input is up to four descriptor texts separated by zero bytes; each is
// embedded in a small well-formed sparse extent whose grain n belongs to disk n,
// so that linking by CID/parentCID and reading through the stack both run on
// fuzzed text. The parent-file hints go through the path candidates too.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "volume/backing_file.h"
#include "volume/disk_bytes.h"
#include "volume/vmdk_chain.h"

namespace {

constexpr std::size_t descriptor_sectors = 4;

// Header, descriptor, directory, one table of 4 entries, then one 4 KiB grain at guest grain `own`.
std::vector<std::uint8_t> extent(std::span<const std::uint8_t> descriptor, unsigned own) {
    const std::size_t table = 1 + descriptor_sectors + 1, grain = table + 1;
    std::vector<std::uint8_t> b((grain + 8) * 512, 0);
    const auto put = [&](std::size_t at, std::uint64_t v, int width) {
        for (int i = 0; i < width; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    std::memcpy(b.data(), "KDMV", 4);
    put(4, 1, 4);
    put(12, 32, 8);                  // 16 KiB guest
    put(20, 8, 8);                   // 4 KiB grains
    put(28, 1, 8);                   // descriptor ...
    put(36, descriptor_sectors, 8);  // ... and its room
    put(44, 4, 4);
    put(56, table - 1, 8);  // directory in the sector before the table
    put((table - 1) * 512, table, 4);
    put(table * 512 + 4 * own, grain, 4);
    std::memcpy(&b[512], descriptor.data(), std::min(descriptor.size(), descriptor_sectors * 512));
    std::memset(&b[grain * 512], static_cast<int>('a' + own), 4096);
    return b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace skelvar;
    std::vector<std::vector<std::uint8_t>> files;
    for (std::size_t start = 0; start <= size && files.size() < 4;) {
        const std::uint8_t* end = static_cast<const std::uint8_t*>(std::memchr(data + start, 0, size - start));
        const std::size_t stop = end ? static_cast<std::size_t>(end - data) : size;
        files.push_back(extent(std::span<const std::uint8_t>(data + start, stop - start), files.size()));
        start = stop + 1;
    }
    std::vector<std::unique_ptr<vmdk_disk>> disks;
    std::string messages;
    for (const auto& f : files) {
        auto disk = std::make_unique<vmdk_disk>();
        if (!disk->open(std::make_unique<memory_disk_bytes>(f), messages)) return 0;
        backing_file_candidates("/evidence/child.vmdk", disk->descriptor().parent_hint);
        disks.push_back(std::move(disk));
    }
    vmdk_chain chain;
    if (!chain.open(std::move(disks), messages)) return 0;
    std::vector<std::uint8_t> guest(chain.size());
    chain.read(0, guest.data(), static_cast<std::uint32_t>(guest.size()));
    return 0;
}
