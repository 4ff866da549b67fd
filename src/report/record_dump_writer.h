// -find_mft: every selected record described block by block (header, each
// $STANDARD_INFORMATION with its owner from $Secure, each $FILE_NAME with its
// parent's path, each further attribute with sizes and cluster runs), and with
// -hexdump the record's bytes. It replaces the other layouts for the run.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "report/layout_writer.h"
#include "report/report_context.h"

namespace skelvar {

std::unique_ptr<layout_writer> make_record_dump_writer(const report_context& context, std::ostream& out);

// Names of the file-attribute bits set in `flags` ("HIDDEN, SYSTEM"); "none set"
// for 0 and "unk" when only unnamed bits are set.
std::string file_attribute_flags_text(std::uint32_t flags);

// Classic hex dump lines of `bytes`: offset, sixteen bytes, their printable characters.
void append_hex_dump(std::span<const std::uint8_t> bytes, std::string& out);

}  // namespace skelvar
