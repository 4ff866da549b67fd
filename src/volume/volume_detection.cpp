#include "volume/volume_detection.h"

#include <cstdio>
#include <vector>

#include "support/binary_data.h"
#include "volume/partition_table.h"
#include "volume/partition_types.h"
#include "volume/raw_disk_io.h"

namespace skelvar {

namespace {

void say(std::string& messages, const std::string& line) {
    messages += line;
    messages += '\n';
}

bool first_sector_is_ntfs(RAW_DISK_IO& reader) {
    std::vector<std::uint8_t> sector;
    reader_disk_bytes disk(reader);
    if (disk.read_zeroed(0, 512, sector) == 0) return false;
    return kavo::binary_data(sector).sub(3, 8).starts_with("NTFS    ", 8);
}

}  // namespace

std::string hex_text(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

bool detect_volume(RAW_DISK_IO& reader, std::uint64_t& offset, bool ignore_image_size, std::string& messages) {
    if (!reader.ok()) return false;
    const std::uint64_t size = reader.size();
    if (size < offset) {
        say(messages, "volume offset " + hex_text(offset) + " is not within image bounds");
        return false;
    }

    partition_list records;
    if (!list_partitions(reader, records, false)) {
        if (first_sector_is_ntfs(reader)) {
            offset = 0;
            return true;
        }
        if (!list_partitions(reader, records, true)) {
            say(messages, "couldn't find any partitions on disk");
            return false;
        }
        say(messages, "disk is corrupted, partition info questionable");
    }
    if (records.empty()) {
        say(messages, "couldn't find any partitions on disk.");
        return false;
    }

    std::uint64_t candidate = 0;
    for (const partition_info& p : records) {
        const std::string name = partition_type_name(p.type);
        const std::uint64_t start = p.byte_start();
        if (offset == start) {
            if (!names_ntfs(name)) {
                say(messages, "volume offset selected " + hex_text(offset) + " is not a NTFS partition, but [" + name + "]");
                break;
            }
            if (size >= p.byte_end() || ignore_image_size) return true;
            say(messages, "volume offset " + hex_text(offset) +
                              " is a NTFS partition, however image size does not encapsulate entire volume");
            return false;
        }
        if (names_ntfs(name)) {
            candidate = start;
            if (size < candidate) say(messages, "volume offset " + hex_text(candidate) + " is not within image bounds");
        }
    }

    say(messages, "");
    for (const partition_info& p : records)
        say(messages, "volume offset [ " + hex_text(p.byte_start()) + " ] : " + partition_type_name(p.type));
    say(messages, "");

    if (candidate != 0) {
        offset = candidate;
        say(messages, "use option [-offset " + hex_text(candidate) + "]");
    } else {
        say(messages, "prob detecting ntfs partition");
    }
    return false;
}

bool validate_image(const std::string& path, std::uint64_t& offset, bool ignore_image_size, std::string& messages) {
    RAW_DISK_IO reader(path, RAW_DISK_IO::kind_image);
    if (!reader.ok()) {
        say(messages, "invalid image: " + path);
        messages += reader.open_error();
        return false;
    }
    return detect_volume(reader, offset, ignore_image_size, messages);
}

bool validate_vmdk(const std::vector<std::string>& paths, std::uint64_t& offset, bool ignore_image_size,
                   std::string& messages) {
    if (paths.empty()) return false;
    RAW_DISK_IO reader(paths);
    if (!reader.ok()) {
        messages += reader.open_error().empty() ? "invalid disk collection of snaps \n" : reader.open_error();
        return false;
    }
    return detect_volume(reader, offset, ignore_image_size, messages);
}

bool is_ntfs_volume_path(const std::string& path, std::string& reason) {
    RAW_DISK_IO reader(path, RAW_DISK_IO::kind_volume);
    if (!reader.ok()) {
        reason = reader.open_error();
        return false;
    }
    if (first_sector_is_ntfs(reader)) return true;
    reason = "no NTFS boot sector at its start\n";
    return false;
}

bool validate_device(const std::string& path, std::uint64_t& offset, bool ignore_image_size, std::string& messages) {
    RAW_DISK_IO reader(path, RAW_DISK_IO::kind_device);
    if (!reader.ok()) {
        say(messages, "invalid image: " + path);
        messages += reader.open_error();
        return false;
    }
    return detect_volume(reader, offset, ignore_image_size, messages);
}

bool validate_drive(int number, std::uint64_t& offset, bool ignore_image_size, std::string& messages) {
    RAW_DISK_IO reader(number);
    if (!reader.ok()) {
        say(messages, "problems accessing physical disk #" + std::to_string(number) + ", aborting ");
        messages += reader.open_error();
        return false;
    }
    return detect_volume(reader, offset, ignore_image_size, messages);
}

}  // namespace skelvar
