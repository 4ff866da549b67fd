// How a -cpu run is divided: the entry slices, each child's argument list and
// the names of the files the children write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skelvar {

struct instance_slice {
    std::uint64_t start = 0;
    std::uint64_t count = 0;
    bool operator==(const instance_slice&) const = default;
};

// Consecutive slices of the range: q = total / instances entries each from
// `start` on, the last one running to the end of the range (start + total
// with -mftrange, else total, the $MFT's entry count). Fewer slices than
// instances when the range is too small for each to get an entry, because a
// child given a count of 0 would walk to the end of the $MFT. A range that
// begins past the end of the $MFT gives the one slice {start, 0}: its child
// reports nothing, as the single run would. Empty when total is 0.
std::vector<instance_slice> plan_slices(unsigned instances, std::uint64_t start, std::uint64_t total,
                                        bool range_given);

// The run's arguments as typed (program path first) made into what every child
// shares: the first -script expanded as the option driver does it, then every
// option removed that the children get their own value for (-out, -outfile,
// -mftstart, -mftrange, -quiet, -cpuinst), that would start instances again
// (-cpu, -tempdir, -separate_files, -fragment_files, -script) or that belongs to
// the parent alone (-profile, -signal, -append).
std::vector<std::string> instance_base_args(const std::vector<std::string>& typed);

// Base arguments + "-mftstart 0x.. -mftrange 0x.. -quiet -cpuinst <index> -out
// <file>". A -diags file becomes "<file>.NNNNN" (instance number from 1), so
// the children do not overwrite the parent's log.
std::vector<std::string> child_args(const std::vector<std::string>& base, const instance_slice& slice,
                                    unsigned index, const std::string& file);

// The folder of the instance files, ending in '/': -tempdir when given and the
// files are merged, else the folder of the output file ("./" when it has none).
std::string instance_folder(const std::string& tempdir, const std::string& out_path, bool separate_files);

// "<folder><index>_<10 random letters and digits>_temp.bin"
std::string temp_file_path(const std::string& folder, unsigned index);

// "<folder><output file name>.<index + 1 in 5 digits>", e.g. res.csv.00001
std::string separate_file_path(const std::string& folder, const std::string& out_path, unsigned index);

}  // namespace skelvar
