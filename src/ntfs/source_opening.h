// Opening the source named in the run context: an extracted $MFT file, or an
// NTFS volume inside an image or device (optionally with a rebuilt $MFT).
#pragma once

#include <string>

#include "ntfs/ntfs_volume.h"

namespace skelvar {

struct mft_entries_ctx;

// Fills ctx.source, ctx.entry_count and ctx.record_size; the source label of an
// extracted $MFT file becomes its path as given. True when the source is open; on
// failure ctx.source is empty and the entry count 0. Prints nothing.
bool open_source(mft_entries_ctx& ctx);

// How an image path is opened: two backslashes in a row name a device,
// "X:" or "X:\" a live volume, anything else an image file.
std::uint32_t source_type_of_path(const std::string& path);

// The volume behind ctx.source when it is one; null for an extracted $MFT file.
ntfs_volume* context_volume(mft_entries_ctx& ctx);

}  // namespace skelvar
