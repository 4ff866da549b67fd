// Small NTFS volume images built byte by byte, for the cases real tools do not make.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/record_builder.h"
#include "ntfs/ntfs_volume.h"
#include "volume/raw_disk_io.h"

namespace testing_support {

// A run list from (first cluster, count) pairs; a cluster of -1 makes a sparse run.
inline std::vector<std::uint8_t> run_list(const std::vector<std::pair<std::int64_t, std::uint64_t>>& runs) {
    auto width_u = [](std::uint64_t v) {
        int n = 1;
        while (n < 8 && (v >> (8 * n)) != 0) ++n;
        return n;
    };
    auto width_s = [](std::int64_t v) {
        int n = 1;
        while (n < 8 && !(v >= -(1ll << (8 * n - 1)) && v < (1ll << (8 * n - 1)))) ++n;
        return n;
    };
    std::vector<std::uint8_t> out;
    std::int64_t prev = 0;
    for (const auto& [lcn, count] : runs) {
        const int lw = width_u(count);
        const int ow = lcn < 0 ? 0 : width_s(lcn - prev);
        out.push_back(static_cast<std::uint8_t>(lw | (ow << 4)));
        for (int i = 0; i < lw; ++i) out.push_back(static_cast<std::uint8_t>(count >> (8 * i)));
        for (int i = 0; i < ow; ++i) out.push_back(static_cast<std::uint8_t>((lcn - prev) >> (8 * i)));
        if (lcn >= 0) prev = lcn;
    }
    return out;
}

// Writes the record number (u32 at 0x2C) that NTFS 3.1 keeps in each record header.
inline std::vector<std::uint8_t> numbered(std::vector<std::uint8_t> record, std::uint32_t entry) {
    put_le(record, 0x2C, entry, 4);
    return record;
}

struct synthetic_volume {
    std::uint16_t bytes_per_sector = 512;
    std::uint8_t sectors_per_cluster = 8;  // 4 KiB clusters
    std::uint64_t clusters = 64;
    std::uint64_t mft_cluster = 4;
    std::int8_t clusters_per_record = -10;  // 1 KiB records
    std::vector<std::uint8_t> bytes;

    std::uint32_t cluster_size() const { return bytes_per_sector * sectors_per_cluster; }

    // Sizes the image and writes the boot sector.
    synthetic_volume& format() {
        bytes.assign(static_cast<std::size_t>(clusters * cluster_size()), 0);
        write_boot();
        return *this;
    }
    void write_boot() {
        const char oem[] = "NTFS    ";
        for (int i = 0; i < 8; ++i) bytes[3 + i] = static_cast<std::uint8_t>(oem[i]);
        put_le(bytes, 0x0B, bytes_per_sector, 2);
        bytes[0x0D] = sectors_per_cluster;
        put_le(bytes, 0x28, clusters * sectors_per_cluster, 8);
        put_le(bytes, 0x30, mft_cluster, 8);
        bytes[0x40] = static_cast<std::uint8_t>(clusters_per_record);
        bytes[0x1FE] = 0x55;
        bytes[0x1FF] = 0xAA;
    }
    void put(std::uint64_t offset, const std::vector<std::uint8_t>& data) {
        if (bytes.size() < offset + data.size()) bytes.resize(static_cast<std::size_t>(offset + data.size()));
        std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    void put_cluster(std::uint64_t lcn, const std::vector<std::uint8_t>& data, std::uint64_t within = 0) {
        put(lcn * cluster_size() + within, data);
    }

    std::filesystem::path write(const std::filesystem::path& path, const std::vector<std::uint8_t>& lead = {}) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(lead.data()), static_cast<std::streamsize>(lead.size()));
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
};

inline std::unique_ptr<skelvar::ntfs_volume> volume_on(const std::filesystem::path& image, std::uint64_t offset = 0) {
    auto reader = std::make_unique<skelvar::RAW_DISK_IO>(image.string(), skelvar::RAW_DISK_IO::kind_image);
    return std::make_unique<skelvar::ntfs_volume>(std::move(reader), offset);
}

}  // namespace testing_support
