#include "volume/container_format.h"

#include "support/binary_data.h"
#include "volume/library_disks.h"
#include "volume/vmdk_chain.h"
#include "volume/vmdk_header.h"

namespace skelvar {

namespace {

bool starts(std::span<const std::uint8_t> bytes, const char* magic, std::size_t length) {
    return kavo::binary_data(bytes).starts_with(magic, length);
}

}  // namespace

container_kind detect_container(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail) {
    if (has_sparse_extent_magic(head) || is_descriptor_file(head)) return container_kind::vmdk;
    if (starts(head, "EVF\x09\x0d\x0a\xff\x00", 8) || starts(head, "EVF2\x0d\x0a\x81\x00", 8))
        return container_kind::ewf;
    if (starts(head, "vhdxfile", 8)) return container_kind::vhdx;
    // Dynamic and differencing disks copy their footer to the start; a fixed disk has it only at the end.
    if (starts(head, "conectix", 8) || starts(tail, "conectix", 8)) return container_kind::vhd;
    if (starts(head, "QFI\xfb", 4)) return container_kind::qcow;
    return container_kind::raw;
}

const char* container_name(container_kind kind) {
    switch (kind) {
        case container_kind::vmdk: return "VMDK";
        case container_kind::ewf: return "E01";
        case container_kind::vhd: return "VHD";
        case container_kind::vhdx: return "VHDX";
        case container_kind::qcow: return "QCOW";
        case container_kind::raw: break;
    }
    return "raw";
}

std::unique_ptr<virtual_disk> open_container(const std::string& path, container_kind kind, std::string& error) {
    switch (kind) {
        case container_kind::vmdk: {
            auto chain = std::make_unique<vmdk_chain>();
            if (!chain->open({path}, true, error)) return nullptr;
            return chain;
        }
        case container_kind::ewf: return open_ewf_disk(path, error);
        case container_kind::vhd:
        case container_kind::vhdx: return open_vhdi_disk(path, error);
        case container_kind::qcow: return open_qcow_disk(path, error);
        case container_kind::raw: break;
    }
    error = "not a container";
    return nullptr;
}

}  // namespace skelvar
