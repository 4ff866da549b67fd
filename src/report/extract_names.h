// Folder and file names of extracted copies. Names come from the evidence (or
// from filter texts), so every piece becomes one host path component that
// cannot climb out of, or reach beside, the folder it is created in.
//
// Host encoding: a byte is written as '%' and two upper-case hexadecimal digits
// when it is a control character (0x00-0x1F, 0x7F), a path separator ('/' or
// '\'), the escape character '%' itself, or one of the characters Windows
// forbids in names (< > : " | ? *), so that the results also copy intact onto
// a Windows or FAT medium. A component that would be "." or ".." has its dots
// written %2E. A UTF-16 unit that is half of a surrogate pair without its other
// half is written %u and four hexadecimal digits. Everything else (letters of
// any script included) is kept as UTF-8, so the names stay readable and the
// original text can be recovered exactly. A leading '-' is kept: every
// component sits behind its folder's path, and file names start with a date.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace skelvar {

// The host form of one path component of UTF-8 text (see above); empty stays empty.
std::string host_safe_component(std::string_view utf8);
// The same for UTF-16 text from the volume.
std::string host_safe_component(std::u16string_view utf16);

enum class entry_state : std::uint8_t { valid, deleted_mft, deleted_unalloc };

// "valid", "deleted-mft" (record not in use), "deleted-unalloc" (carved from free clusters).
std::string_view state_folder_name(entry_state state);

// Which filter selected the entry, in the order the category is chosen.
enum class category_kind : std::uint8_t { name, extension, directory, signature, wildcard, inodes, catchall };

// The category folder: the name, extension or signature-type text; a directory
// path as one name ("\Windows\System32" -> "[root]-Windows-System32": separators
// to '-', spaces to '_', ':' dropped); "wildcard", "inodes" or "catchall". An
// empty text gives "catchall".
std::string category_folder_name(category_kind kind, std::string_view text);

// Longest file name the host takes, in bytes.
inline constexpr std::size_t host_name_max = 255;

struct extracted_name_parts {
    std::uint64_t si_modified = 0;   // $STANDARD_INFORMATION modification time (FILETIME)
    std::string_view md5;            // 32 lower-case hexadecimal digits
    std::u16string_view file_name;
    std::u16string_view stream_name;  // empty for the unnamed stream
    std::string_view label;           // the stream's attribute label: "unnamed data", "ads", ...
    bool use_orig_ext = false;        // no ".bin" suffix
};

// yyyy_mm_dd_hhmm_ss_mmm_<md5>_<name>[.<stream>][_<label>][.bin], the name and
// stream host-encoded ("0000_00_00_0000_00_000" for a time that has no date).
// A result longer than host_name_max bytes loses the middle of its
// name-and-stream part, marked "%~" (never a valid escape), keeping its end.
std::string extracted_file_name(const extracted_name_parts& parts);

}  // namespace skelvar
