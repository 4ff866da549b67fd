// A -cpu run: the entry range split over child processes of this program, each
// writing its slice into a file of its own, merged in entry order afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skelvar {

class diag_log;

struct instance_settings {
    unsigned instances = 2;                     // -cpu
    std::vector<std::string> args;              // as typed, program path first; a -script is expanded here
    std::string executable = "/proc/self/exe";  // the program the children run
    std::string out_path;                       // -out: the merged file, or the base name of the separate files
    std::string tempdir;                        // -tempdir ("" when not given)
    bool separate_files = false;                // -separate_files: one results file per instance, no merge
    std::string header_text;                    // header block of this run, written once at the top
    std::uint64_t mft_start = 0;                // -mftstart
    std::uint64_t mft_range = 0;                // -mftrange; 0 = through the last entry
    std::uint64_t mft_entry_count = 0;          // the $MFT's entries; needed when mft_range is 0
    bool column_line = true;                    // the layout writes a column-heading line after the header
    bool header_block = true;                   // the results start with the header block (JSON lines: none)
    diag_log* log = nullptr;                    // optional
};

struct instance_status {
    bool ok = false;
    std::string message;  // why it failed, as printed on standard error
};

// Starts one child per slice, reports "NN instances spawned" and "instance NN
// done" on standard error while it waits, and merges (or keeps apart) the
// children's files. Failure messages are printed here and returned too. The
// children's exit status is not checked: a failed child leaves its slice out.
instance_status run_instances(const instance_settings& settings);

}  // namespace skelvar
