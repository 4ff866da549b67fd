#include "ntfs/source_opening.h"

#include "app/mft_entries_ctx.h"
#include "ntfs/inode_store.h"
#include "ntfs/volume_mft_source.h"
#include "support/utf8.h"
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

void clear_source(mft_entries_ctx& ctx) {
    ctx.source.reset();
    ctx.entry_count = 0;
}

bool open_mft_file_source(mft_entries_ctx& ctx) {
    ctx.source = open_mft_file(ctx.mftfile_path);
    if (!ctx.source || !ctx.source->ready()) {
        clear_source(ctx);
        return false;
    }
    ctx.source_label = uni::to_utf16(ctx.mftfile_path);
    const std::uint32_t rs = ctx.record_size ? ctx.record_size : 1024;
    ctx.entry_count = ctx.source->size_bytes() / rs;
    return true;
}

// Opens the volume on a reader and, with -regen_mft, rebuilds its $MFT.
bool open_volume_source(mft_entries_ctx& ctx, std::unique_ptr<RAW_DISK_IO> reader, std::uint32_t type,
                        std::uint64_t offset, const std::string& name) {
    if (!reader->ok()) {
        ctx.diags.line("err: cannot open %s", name.c_str());
        return false;
    }
    auto volume = std::make_unique<ntfs_volume>(std::move(reader), offset, type, &ctx.diags);
    std::uint64_t mft_offset = 0;
    if (open_volume(*volume, mft_offset))
        ctx.diags.line("info: volume at 0x%llx, $MFT at 0x%llx, %llu entries of %u bytes", static_cast<ull>(offset),
                       static_cast<ull>(mft_offset), static_cast<ull>(volume->entry_count()), volume->record_size());
    else
        ctx.diags.line("err: no NTFS volume at offset 0x%llx of %s", static_cast<ull>(offset), name.c_str());
    // The rebuild also serves a volume whose record 0 is beyond use.
    if (ctx.regen_mft && volume->has_reader()) {
        inode_store_options options;
        options.show_progress = ctx.show_progress;
        if (!build_inode_store(*volume, options)) ctx.diags.line("err: -regen_mft found no file records");
    }
    if (!volume->ready()) {
        close_volume(*volume);
        return false;
    }
    ctx.source = std::make_unique<volume_mft_source>(std::move(volume));
    return true;
}

bool open_path_source(mft_entries_ctx& ctx, const std::string& path, std::uint32_t type) {
    // Live volumes start at their first byte.
    const std::uint64_t offset = type == ntfs_volume::source_volume ? 0 : ctx.volume_offset;
    return open_volume_source(ctx, std::make_unique<RAW_DISK_IO>(path, reader_kind(type)), type, offset, path);
}

// -partition and -vss: a device path as given, or a drive letter.
bool open_volume_path_source(mft_entries_ctx& ctx) {
    const std::string& path = ctx.volume_path;
    if (path.rfind("\\\\", 0) == 0) return open_path_source(ctx, path, ntfs_volume::source_device);
    // A partition's block device (/dev/sdb1) is opened as given.
    if (path.find('/') != std::string::npos) return open_path_source(ctx, path, ntfs_volume::source_volume);
    return open_path_source(ctx, path.substr(0, 1) + ":", ntfs_volume::source_volume);
}

// The files of a VMDK chain, read as one disk; the label names them all.
bool open_vmdk_source(mft_entries_ctx& ctx) {
    std::string label = ctx.vmdk_paths.size() == 1 ? "vmdk file: " : "vmdk files: ";
    for (std::size_t i = 0; i < ctx.vmdk_paths.size(); ++i) label += (i ? "; '" : "'") + ctx.vmdk_paths[i] + "'";
    ctx.source_label = uni::to_utf16(label);
    return open_volume_source(ctx, std::make_unique<RAW_DISK_IO>(ctx.vmdk_paths), ntfs_volume::source_image,
                              ctx.volume_offset, label);
}

bool open_drive_source(mft_entries_ctx& ctx) {
    const std::string name = "physical drive " + std::to_string(ctx.drive_number);
    return open_volume_source(ctx, std::make_unique<RAW_DISK_IO>(ctx.drive_number), ntfs_volume::source_drive,
                              ctx.volume_offset, name);
}

}  // namespace

std::uint32_t source_type_of_path(const std::string& path) {
    if (path.find("\\\\") != std::string::npos) return ntfs_volume::source_device;
    if ((path.size() == 2 && path[1] == ':') || (path.size() == 3 && path[1] == ':' && path[2] == '\\'))
        return ntfs_volume::source_volume;
    return ntfs_volume::source_image;
}

ntfs_volume* context_volume(mft_entries_ctx& ctx) {
    auto* v = dynamic_cast<volume_mft_source*>(ctx.source.get());
    return v ? &v->volume() : nullptr;
}

bool open_source(mft_entries_ctx& ctx) {
    clear_source(ctx);
    bool ok = false;
    if (!ctx.mftfile_path.empty()) {
        ok = open_mft_file_source(ctx);
    } else if (!ctx.vmdk_paths.empty()) {
        ok = open_vmdk_source(ctx);
    } else if (!ctx.image_path.empty()) {
        ok = open_path_source(ctx, ctx.image_path, source_type_of_path(ctx.image_path));
    } else if (!ctx.volume_path.empty()) {
        ok = open_volume_path_source(ctx);
    } else if (!ctx.mounted_vmdk_path.empty()) {
        // Only a device path names a mounted virtual disk.
        if (ctx.mounted_vmdk_path.rfind("\\\\.\\", 0) == 0)
            ok = open_path_source(ctx, ctx.mounted_vmdk_path, ntfs_volume::source_device);
    } else if (ctx.drive_number >= 0) {
        ok = open_drive_source(ctx);
    }
    if (!ok) {
        clear_source(ctx);
        return false;
    }
    if (ntfs_volume* v = context_volume(ctx)) {
        ctx.entry_count = v->entry_count();
        ctx.record_size = v->record_size() ? v->record_size() : 1024;
        ctx.sector_stride = ctx.source->sector_stride();
    }
    // The walk learns the record size from the source on its first read.
    ctx.record_size_learned = false;
    return true;
}

}  // namespace skelvar
