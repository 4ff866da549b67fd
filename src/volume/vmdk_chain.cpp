#include "volume/vmdk_chain.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "volume/backing_file.h"

namespace skelvar {

namespace {

// Snapshot chains are a few dozen deep; a longer one is a loop of hints.
constexpr std::size_t max_chain_disks = 256;

void say(std::string& messages, const std::string& line) {
    messages += line;
    messages += '\n';
}

bool says_cannot_open(std::string& messages, const std::string& path, const std::string& reason) {
    say(messages, path + " can't be opened");
    say(messages, "  " + reason);
    return false;
}

bool cid_error(std::string& messages, const std::string& path) {
    say(messages, "Child VMDK CID errors, aborting");
    say(messages, path);
    return false;
}

}  // namespace

bool vmdk_chain::open(const std::vector<std::string>& paths, bool follow_hints, std::string& messages) {
    disks_.clear();
    suggested_ = paths;
    named_ = paths.size();
    if (paths.empty()) return false;
    for (const std::string& path : paths) {
        auto disk = std::make_unique<vmdk_disk>();
        std::string reason;
        if (!disk->open(path, reason)) return says_cannot_open(messages, path, reason);
        disks_.push_back(std::move(disk));
    }
    if (!find_parents(messages)) return false;
    if (!link(messages)) return false;
    // A chain completed through hints is refused unless asked for, so that the
    // user names every file of the evidence.
    return follow_hints || !parents_found_by_hint();
}

bool vmdk_chain::open(std::vector<std::unique_ptr<vmdk_disk>> disks, std::string& messages) {
    disks_ = std::move(disks);
    suggested_.clear();
    for (const auto& d : disks_) suggested_.push_back(d->path());
    named_ = suggested_.size();
    return !disks_.empty() && link(messages);
}

bool vmdk_chain::find_parents(std::string& messages) {
    for (std::size_t i = 0; i < disks_.size(); ++i) {
        const vmdk_disk& child = *disks_[i];
        const vmdk_descriptor& d = child.descriptor();
        if (d.is_base()) continue;
        const bool named = std::any_of(disks_.begin(), disks_.end(),
                                       [&](const auto& other) { return other->descriptor().cid == d.parent_cid; });
        if (named) continue;
        if (disks_.size() >= max_chain_disks) return cid_error(messages, child.path());

        const std::string tried = find_backing_file(child.path(), d.parent_hint);
        if (tried.empty()) {
            const auto candidates = backing_file_candidates(child.path(), d.parent_hint);
            say(messages, "Child VMDK points to a parent VMDK that doesn't exist, aborting");
            say(messages, candidates.empty() ? d.parent_hint : candidates.back());
            return false;
        }
        say(messages, "=> vmdk file: " + child.path());
        say(messages, " depends on parent vmdk " + tried);
        auto parent = std::make_unique<vmdk_disk>();
        std::string reason;
        if (!parent->open(tried, reason)) return says_cannot_open(messages, tried, reason);
        // The file the hint names must be the disk the child was forked from.
        if (parent->descriptor().cid != d.parent_cid) return cid_error(messages, child.path());
        suggested_.push_back(tried);
        disks_.push_back(std::move(parent));
    }
    return true;
}

bool vmdk_chain::link(std::string& messages) {
    std::map<std::string, std::size_t> by_cid;
    for (std::size_t i = 0; i < disks_.size(); ++i)
        if (!by_cid.emplace(disks_[i]->descriptor().cid, i).second) return cid_error(messages, disks_[i]->path());

    // Every disk but one base has exactly one parent and no two share one.
    std::vector<std::size_t> child_of(disks_.size(), SIZE_MAX);
    std::size_t base = SIZE_MAX;
    for (std::size_t i = 0; i < disks_.size(); ++i) {
        const vmdk_descriptor& d = disks_[i]->descriptor();
        if (d.is_base()) {
            if (base != SIZE_MAX) return cid_error(messages, disks_[i]->path());
            base = i;
            continue;
        }
        const auto parent = by_cid.find(d.parent_cid);
        if (parent == by_cid.end() || child_of[parent->second] != SIZE_MAX) return cid_error(messages, disks_[i]->path());
        child_of[parent->second] = i;
    }
    if (base == SIZE_MAX) return cid_error(messages, disks_.front()->path());

    std::vector<std::unique_ptr<vmdk_disk>> ordered;
    for (std::size_t i = base; i != SIZE_MAX && ordered.size() < disks_.size(); i = child_of[i])
        ordered.push_back(std::move(disks_[i]));
    if (ordered.size() != disks_.size()) {
        for (const auto& d : disks_)
            if (d) return cid_error(messages, d->path());
    }
    disks_ = std::move(ordered);
    return true;
}

std::uint64_t vmdk_chain::size() const { return disks_.empty() ? 0 : disks_.front()->header().capacity_bytes(); }

bool vmdk_chain::read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) {
    if (disks_.empty() || !out) return false;
    // Pieces that continue one another in the same file are read with one call.
    vmdk_disk* pending = nullptr;
    std::uint64_t pending_at = 0;
    std::uint8_t* pending_out = nullptr;
    std::uint32_t pending_len = 0;
    const auto flush = [&]() {
        const bool ok = !pending || pending->read_file(pending_at, pending_out, pending_len);
        pending = nullptr;
        return ok;
    };

    std::uint32_t done = 0;
    while (done < count) {
        const std::uint64_t at = offset + done;
        std::uint64_t step = count - done;
        for (const auto& d : disks_) {
            const std::uint64_t g = d->grains().grain_bytes();
            step = std::min(step, g - at % g);
        }
        vmdk_disk* holder = nullptr;
        std::uint64_t file_at = 0;
        grain_state state = grain_state::absent;
        for (auto it = disks_.rbegin(); it != disks_.rend() && state == grain_state::absent; ++it) {
            state = (*it)->grains().locate(at, file_at);
            holder = it->get();
        }
        const std::uint32_t len = static_cast<std::uint32_t>(step);
        if (state == grain_state::allocated) {
            if (pending == holder && pending_at + pending_len == file_at) {
                pending_len += len;
            } else {
                if (!flush()) return false;
                pending = holder;
                pending_at = file_at;
                pending_out = out + done;
                pending_len = len;
            }
        } else {
            std::memset(out + done, 0, len);
        }
        done += len;
    }
    return flush();
}

}  // namespace skelvar
