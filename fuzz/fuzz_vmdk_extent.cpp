// libFuzzer harness over one sparse VMDK file: the header checks, the embedded
// descriptor, the grain directory and tables (with their bounds against the
// file), and flat reads through the chain of that one disk.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "volume/disk_bytes.h"
#include "volume/vmdk_chain.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace skelvar;
    auto disk = std::make_unique<vmdk_disk>();
    std::string error;
    if (!disk->open(std::make_unique<memory_disk_bytes>(std::span<const std::uint8_t>(data, size)), error)) return 0;
    std::vector<std::unique_ptr<vmdk_disk>> disks;
    disks.push_back(std::move(disk));
    vmdk_chain chain;
    if (!chain.open(std::move(disks), error)) return 0;

    // The start, a stretch across the first grain boundaries, and the end of the guest disk.
    const std::uint64_t guest = chain.size();
    std::vector<std::uint8_t> buffer(3 * 65536);
    const std::uint64_t grain = chain.disks().front()->grains().grain_bytes();
    for (const std::uint64_t at : {std::uint64_t{0}, grain - 1, guest / 2, guest > 4096 ? guest - 4096 : 0}) {
        if (at >= guest) continue;
        const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(buffer.size(), guest - at));
        chain.read(at, buffer.data(), count);
    }
    return 0;
}
