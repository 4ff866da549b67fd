// A run never writes over its evidence: a results or debug file that is a
// source file under another name (the same path, a hard link, a symlink) is
// refused before anything is written to it.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "support/host_files.h"

namespace skelvar {

struct source_settings;

struct evidence_file {
    file_identity id;
    std::string path;
};

// A file the run is about to write, and what the message calls it.
struct written_file {
    const char* what;  // "results", "diagnostics"
    std::string path;
};

// The source files the options name and that exist: -mftfile, -image, every
// -vmdk file, a block device named by -partition.
std::vector<evidence_file> named_evidence(const source_settings& source);

// Every file the process holds open for reading once the source is open: the
// named ones and those a container opened by itself (segments, parent disks).
std::vector<evidence_file> held_evidence();

// The message refusing the first written file that is evidence, "" when none is.
std::string evidence_refusal(std::span<const written_file> written, std::span<const evidence_file> evidence);

}  // namespace skelvar
