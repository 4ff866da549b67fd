#include "ntfs/source_opening.h"

#include <cstdio>

#include "ntfs/inode_store.h"
#include "ntfs/ntfs_volume.h"
#include "ntfs/volume_mft_source.h"
#include "support/diag_log.h"
#include "volume/raw_disk_io.h"

namespace skelvar {

namespace {

using ull = unsigned long long;

std::uint32_t reader_kind(std::uint32_t source_type) {
    switch (source_type) {
        case ntfs_volume::source_volume: return RAW_DISK_IO::kind_volume;
        case ntfs_volume::source_device: return RAW_DISK_IO::kind_device;
        default: return RAW_DISK_IO::kind_image;
    }
}

std::string offset_text(std::uint64_t offset) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<ull>(offset));
    return buf;
}

// The reader's reasons come one per line; the run's message is one line.
std::string one_line(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
        text.replace(at, 1, "; ");
    return text;
}

status open_mft_file_source(const source_settings& settings, mft_reader& records) {
    std::string reason;
    std::unique_ptr<mft_source> source = open_mft_file(settings.mftfile_path, reason);
    if (!source) return status::failure(reason);
    const std::uint64_t size = source->size_bytes();
    records.attach(std::move(source));
    // The record size is learned from record 0 by the first read; until then 1024 is assumed.
    records.set_entry_count(size / 1024);
    return {};
}

// Opens the volume on a reader and, with -regen_mft, rebuilds its $MFT.
status open_volume_source(const source_settings& settings, bool show_progress, mft_reader& records,
                          std::unique_ptr<RAW_DISK_IO> reader, std::uint32_t type, std::uint64_t offset,
                          const std::string& name) {
    diag_log& log = records.log();
    if (!reader->ok()) {
        log.line("err: cannot open %s", name.c_str());
        return status::failure(one_line(reader->open_error()));
    }
    auto volume = std::make_unique<ntfs_volume>(std::move(reader), offset, type, &log);
    std::uint64_t mft_offset = 0;
    const status opened = open_volume(*volume, mft_offset);
    if (opened)
        log.line("info: volume at 0x%llx, $MFT at 0x%llx, %llu entries of %u bytes", static_cast<ull>(offset),
                 static_cast<ull>(mft_offset), static_cast<ull>(volume->entry_count()), volume->record_size());
    else
        log.line("err: no NTFS volume at offset 0x%llx of %s", static_cast<ull>(offset), name.c_str());
    // The rebuild also serves a volume whose record 0 is beyond use.
    if (settings.regen_mft && volume->has_reader()) {
        inode_store_options options;
        options.show_progress = show_progress;
        if (!build_inode_store(*volume, options)) log.line("err: -regen_mft found no file records");
    }
    if (!volume->ready()) {
        close_volume(*volume);
        return status::failure("no NTFS volume at offset " + offset_text(offset) + ": " + opened.reason());
    }
    const std::uint64_t count = volume->entry_count();
    records.attach(std::make_unique<volume_mft_source>(std::move(volume)));
    records.set_entry_count(count);
    return {};
}

status open_path_source(const source_settings& settings, bool show_progress, mft_reader& records,
                        const std::string& path, std::uint32_t type) {
    // Live volumes start at their first byte.
    const std::uint64_t offset = type == ntfs_volume::source_volume ? 0 : settings.volume_offset;
    return open_volume_source(settings, show_progress, records,
                              std::make_unique<RAW_DISK_IO>(path, reader_kind(type)), type, offset, path);
}

// -partition and -vss: a device path as given, a partition's block device, or a drive letter.
status open_volume_path_source(const source_settings& settings, bool show_progress, mft_reader& records) {
    const std::string& path = settings.volume_path;
    if (path.rfind("\\\\", 0) == 0)
        return open_path_source(settings, show_progress, records, path, ntfs_volume::source_device);
    // A partition's block device (/dev/sdb1) is opened as given.
    if (path.find('/') != std::string::npos)
        return open_path_source(settings, show_progress, records, path, ntfs_volume::source_volume);
    return open_path_source(settings, show_progress, records, path.substr(0, 1) + ":", ntfs_volume::source_volume);
}

// The files of a VMDK chain, read as one disk.
status open_vmdk_source(const source_settings& settings, bool show_progress, mft_reader& records) {
    return open_volume_source(settings, show_progress, records, std::make_unique<RAW_DISK_IO>(settings.vmdk_paths),
                              ntfs_volume::source_image, settings.volume_offset, settings.name());
}

}  // namespace

std::string source_settings::name() const {
    if (!mftfile_path.empty()) return mftfile_path;
    if (!vmdk_paths.empty()) {
        std::string label = vmdk_paths.size() == 1 ? "vmdk file: " : "vmdk files: ";
        for (std::size_t i = 0; i < vmdk_paths.size(); ++i) label += (i ? "; '" : "'") + vmdk_paths[i] + "'";
        return label;
    }
    if (!image_path.empty()) return image_path;
    if (!volume_path.empty()) return volume_path;
    if (!mounted_vmdk_path.empty()) return mounted_vmdk_path;
    if (drive_number >= 0) return "physical drive " + std::to_string(drive_number);
    return "the source";
}

std::uint32_t source_type_of_path(const std::string& path) {
    if (path.find("\\\\") != std::string::npos) return ntfs_volume::source_device;
    if ((path.size() == 2 && path[1] == ':') || (path.size() == 3 && path[1] == ':' && path[2] == '\\'))
        return ntfs_volume::source_volume;
    return ntfs_volume::source_image;
}

status open_source(const source_settings& settings, bool show_progress, mft_reader& records) {
    records.detach();
    if (!settings.mftfile_path.empty()) return open_mft_file_source(settings, records);
    if (!settings.vmdk_paths.empty()) return open_vmdk_source(settings, show_progress, records);
    if (!settings.image_path.empty())
        return open_path_source(settings, show_progress, records, settings.image_path,
                                source_type_of_path(settings.image_path));
    if (!settings.volume_path.empty()) return open_volume_path_source(settings, show_progress, records);
    if (!settings.mounted_vmdk_path.empty()) {
        // Only a device path names a mounted virtual disk.
        if (settings.mounted_vmdk_path.rfind("\\\\.\\", 0) != 0)
            return status::failure("a mounted VMDK is named by a device path (\\\\.\\...)");
        return open_path_source(settings, show_progress, records, settings.mounted_vmdk_path,
                                ntfs_volume::source_device);
    }
    if (settings.drive_number >= 0)
        return open_volume_source(settings, show_progress, records,
                                  std::make_unique<RAW_DISK_IO>(settings.drive_number), ntfs_volume::source_drive,
                                  settings.volume_offset, settings.name());
    return status::failure("no source was named");
}

}  // namespace skelvar
