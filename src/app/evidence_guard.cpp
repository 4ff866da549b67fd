#include "app/evidence_guard.h"

#include "ntfs/source_opening.h"
#include "support/open_files.h"

namespace skelvar {

namespace {

void add_named(std::vector<evidence_file>& out, const std::string& path) {
    if (path.empty()) return;
    if (const auto id = host_file_identity(path)) out.push_back({*id, path});
}

}  // namespace

std::vector<evidence_file> named_evidence(const source_settings& source) {
    std::vector<evidence_file> out;
    add_named(out, source.mftfile_path);
    add_named(out, source.image_path);
    for (const std::string& vmdk : source.vmdk_paths) add_named(out, vmdk);
    if (source.volume_path.find('/') != std::string::npos) add_named(out, source.volume_path);
    return out;
}

std::vector<evidence_file> held_evidence() {
    std::vector<evidence_file> out;
    for (held_file& f : files_held_open()) out.push_back({f.id, std::move(f.path)});
    return out;
}

std::string evidence_refusal(std::span<const written_file> written, std::span<const evidence_file> evidence) {
    for (const written_file& w : written) {
        if (w.path.empty()) continue;
        const auto id = host_file_identity(w.path);
        if (!id) continue;
        for (const evidence_file& e : evidence)
            if (e.id == *id)
                return "prob writing the " + std::string(w.what) + " to " + w.path + ": that file is the source " +
                       e.path + ", aborting\n";
    }
    return std::string();
}

}  // namespace skelvar
