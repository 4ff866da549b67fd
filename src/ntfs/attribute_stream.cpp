#include "ntfs/attribute_stream.h"

#include "ntfs/ntfs_volume.h"
#include "support/binary_data.h"

namespace skelvar {

namespace {

// Attribute flags: the low byte names the compression, 0x0001 being LZNT1.
constexpr std::uint16_t compression_mask = 0x00FF;
constexpr std::uint16_t compressed_lznt1 = 0x0001;

class volume_clusters final : public cluster_reader {
public:
    explicit volume_clusters(ntfs_volume& volume) : volume_(volume) {}
    bool read_clusters(std::uint64_t lcn, std::uint64_t count, std::span<std::uint8_t> out) override {
        return volume_.read_clusters(lcn, count, out.data());
    }

private:
    ntfs_volume& volume_;
};

kavo::binary_data resident_value(const catalogue_row& row) {
    if (!row.value.empty()) return kavo::binary_data(row.value);
    return kavo::binary_data(row.record_copy).sub(row.value_offset, row.value_length);
}

stream_geometry geometry_of(const catalogue_row& row, std::uint64_t cluster_size) {
    const bool lznt1 = (row.flags & compression_mask) == compressed_lznt1;
    return {row.runs,
            cluster_size,
            row.data_size,
            row.initialized_size,
            row.allocated_size,
            lznt1 ? compression_unit_clusters(static_cast<std::uint8_t>(row.compression_unit)) : 0};
}

}  // namespace

bool stream_is_empty(const catalogue_row& row) {
    return row.non_resident ? row.allocated_size == 0 : row.value_length == 0;
}

std::uint64_t attribute_stream_length(const catalogue_row& row, const stream_bytes_options& options) {
    if (!row.non_resident) return row.value_length;
    return stream_bytes_length(geometry_of(row, 0), options);
}

stream_bytes_result produce_attribute_bytes(const catalogue_row& row, ntfs_volume* volume,
                                            const stream_bytes_options& options, const stream_byte_sink& sink,
                                            const stream_progress& progress) {
    stream_bytes_result result;
    if (!row.non_resident) {
        const kavo::binary_data value = resident_value(row);
        if (value.size() != row.value_length) {
            result.status = stream_bytes_status::unmapped;
            result.message = "the resident value runs past the end of its attribute";
            return result;
        }
        if (!value.empty() && !sink(value.span())) {
            result.status = stream_bytes_status::sink_refused;
            result.message = "the output did not take the bytes";
            return result;
        }
        result.written = value.size();
        if (progress) progress(value.size(), value.size());
        return result;
    }
    if (!volume || !volume->has_reader()) {
        result.status = stream_bytes_status::no_clusters;
        result.message = "its data lies in clusters, and an extracted $MFT file holds none";
        return result;
    }
    volume_clusters clusters(*volume);
    return produce_stream_bytes(clusters, geometry_of(row, volume->cluster_size()), options, sink, progress);
}

}  // namespace skelvar
