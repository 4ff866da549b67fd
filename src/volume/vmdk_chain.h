// A VMDK base disk and the snapshots stacked on it, read as one flat disk: the
// newest disk that holds a grain supplies it; a grain none holds reads as zeros.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "volume/virtual_disk.h"
#include "volume/vmdk_disk.h"

namespace skelvar {

class vmdk_chain final : public virtual_disk {
public:
    // Opens the named files and finds how they stack, from their CIDs and
    // parentCIDs. A disk whose parent was not named is looked for through its
    // parentFileNameHint; with `follow_hints` false that still fails, so that
    // the user names the whole chain (`suggested()` then lists it).
    // On failure `messages` holds the reasons, one line each ending in '\n'.
    bool open(const std::vector<std::string>& paths, bool follow_hints, std::string& messages);
    bool open(std::vector<std::unique_ptr<vmdk_disk>> disks, std::string& messages);

    // The named files, then every parent found through a hint.
    const std::vector<std::string>& suggested() const { return suggested_; }
    bool parents_found_by_hint() const { return suggested_.size() > named_; }
    // Base first, the disk reads start from last.
    const std::vector<std::unique_ptr<vmdk_disk>>& disks() const { return disks_; }

    std::uint64_t size() const override;
    bool read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) override;

private:
    bool find_parents(std::string& messages);
    bool link(std::string& messages);

    std::vector<std::unique_ptr<vmdk_disk>> disks_;
    std::vector<std::string> suggested_;
    std::size_t named_ = 0;
};

}  // namespace skelvar
