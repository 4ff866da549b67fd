// Containers read through their libraries: E01/Ex01 (libewf), VHD/VHDX
// (libvhdi), QCOW (libqcow). Each opener returns the guest disk, or null with
// the reason in `error` (also when the library was missing at build time).
#pragma once

#include <memory>
#include <string>

#include "volume/virtual_disk.h"

namespace skelvar {

// Every segment file of the set (.E01, .E02 ... or .Ex01 ...) is found from the one named.
std::unique_ptr<virtual_disk> open_ewf_disk(const std::string& path, std::string& error);
// A differencing disk is read over its parents, found from the names it records.
std::unique_ptr<virtual_disk> open_vhdi_disk(const std::string& path, std::string& error);
// A backing file must itself be a QCOW image.
std::unique_ptr<virtual_disk> open_qcow_disk(const std::string& path, std::string& error);

}  // namespace skelvar
