// What an image file given to -image holds: a raw disk, or a container whose
// signature says how the guest disk inside it is read.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "volume/virtual_disk.h"

namespace skelvar {

enum class container_kind { raw, vmdk, ewf, vhd, vhdx, qcow };

// From the file's first bytes (at least 512) and its last 512 (a fixed VHD
// keeps its only footer there; empty when the file is shorter).
container_kind detect_container(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail);

// "VMDK", "E01", "VHD", "VHDX", "QCOW"; "raw" for a plain image.
const char* container_name(container_kind kind);

// The guest disk of a container file; null with the reason in `error`.
// A VMDK snapshot is read over the parents its descriptor names.
std::unique_ptr<virtual_disk> open_container(const std::string& path, container_kind kind, std::string& error);

}  // namespace skelvar
