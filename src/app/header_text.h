// The header block every results stream starts with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/program_name.h"

namespace skelvar {

// "skelvar ver: 0.95"
std::string banner_text();

// The program's file name without directory and extension ("skelvar" for "/usr/bin/skelvar.exe");
// the program's own name when the argument gives none.
std::string executable_base_name(std::string_view argv0);

// Banner, run time and command line, ended by an empty line (the merge of
// instance files takes everything up to the first empty line as the header).
// The run time uses the -dateformat layout when one is given and valid, else
// mm/dd/yyyy; with -pipe the command line is preceded by "<filelist> ... | ".
std::string compose_header(const std::vector<std::string>& args, std::uint64_t now_filetime);

}  // namespace skelvar
