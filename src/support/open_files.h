// The files this process holds open for reading: after the source is opened
// they are the evidence, with whatever a container library opened on its own
// (segment files, parent disks), so the run can refuse to write over them.
#pragma once

#include <string>
#include <vector>

#include "support/host_files.h"

namespace skelvar {

struct held_file {
    file_identity id;
    std::string path;  // as the system names it, for messages
};

// Regular files and block devices behind this process's descriptors, standard
// input, output and error left out. Empty where the system does not list them.
std::vector<held_file> files_held_open();

}  // namespace skelvar
