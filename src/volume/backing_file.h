// Finding the parent of a differencing disk from the name the child records
// (a VMDK parentFileNameHint, a VHD/VHDX parent locator, a QCOW backing file).
// Names written on Windows use "\"; the evidence may since have moved, so the
// name's last component beside the child is tried as well.
#pragma once

#include <string>
#include <vector>

namespace skelvar {

// Paths to try, in order: the recorded name as a path (relative to the child's
// folder unless absolute; a Windows drive path is skipped), then its file name
// in the child's folder. Double quotes are dropped.
std::vector<std::string> backing_file_candidates(const std::string& child_path, const std::string& recorded);

// The first candidate that is an existing regular file; empty when none is.
std::string find_backing_file(const std::string& child_path, const std::string& recorded);

}  // namespace skelvar
