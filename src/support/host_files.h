// Writing files into a results folder without being led outside it: names are
// resolved against open folder handles, a symlink planted in the folder is
// never followed, nothing existing is overwritten, and the evidence itself
// (known by device and inode) is never removed or replaced.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace skelvar {

struct file_identity {
    std::uint64_t device = 0, inode = 0;
    bool operator==(const file_identity&) const = default;
};

// Identity of a host file (the evidence image or device), following symlinks; none when it cannot be examined.
std::optional<file_identity> host_file_identity(const std::string& path);

enum class placement : std::uint8_t {
    placed,         // the file now has its final name
    kept_existing,  // a regular file of that name and size was already there: the same copy, kept
    failed,
};

// An open folder. Names given to its members are single components: empty
// names, "." and "..", and names holding '/' or NUL are refused.
class host_folder {
public:
    host_folder() = default;
    ~host_folder();
    host_folder(host_folder&& other) noexcept;
    host_folder& operator=(host_folder&& other) noexcept;

    // The results folder the user named, created (with its parents) when missing.
    // The user's own path may lead through symlinks.
    static host_folder open_results(const std::string& path, std::string& error);

    // The folder `name` inside this one, created when missing. Anything there that
    // is not a folder, a symlink to one included, is refused.
    host_folder subfolder(std::string_view name, std::string& error) const;

    bool is_open() const { return fd_ >= 0; }
    // Host path for messages and reports: the results path, then "/" + name per level.
    const std::string& path() const { return path_; }

private:
    friend class host_output_file;
    friend void discard_file(const host_folder&, std::string_view, std::span<const file_identity>);
    friend placement place_file(const host_folder&, std::string_view, const host_folder&, std::string_view,
                                std::span<const file_identity>, std::string&);
    host_folder(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_ = -1;
    std::string path_;
};

// A new file inside a folder, written in order.
class host_output_file {
public:
    host_output_file() = default;
    ~host_output_file();  // closes without reporting; call close() to learn of a failed write-back
    host_output_file(host_output_file&& other) noexcept;
    host_output_file& operator=(host_output_file&& other) noexcept;

    // Creates `name` in `folder` as a new file (exclusively, not through a symlink).
    // A leftover of that name (a crashed run's temporary) is removed first unless
    // it is a folder or one of `protect`.
    static host_output_file create(const host_folder& folder, std::string_view name,
                                   std::span<const file_identity> protect, std::string& error);

    bool is_open() const { return fd_ >= 0; }
    // Writes all of `bytes`; false (with error()) when the host refused some.
    bool write(std::span<const std::uint8_t> bytes);
    // Moves on by `count` zero bytes without writing them: the file gets a hole there.
    bool skip(std::uint64_t count);
    bool close();
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    bool ends_in_hole_ = false;  // the size must be set at close
    std::string path_, error_;
};

// Removes the file `name` of `folder` (an unfinished copy); a folder or one of `protect` is left alone.
void discard_file(const host_folder& folder, std::string_view name, std::span<const file_identity> protect);

// Gives the finished file `temp_name` of `from` the name `target_name` in `to`,
// never replacing what is there. The temporary is removed in every case.
placement place_file(const host_folder& from, std::string_view temp_name, const host_folder& to,
                     std::string_view target_name, std::span<const file_identity> protect, std::string& error);

}  // namespace skelvar
