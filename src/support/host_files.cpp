#include "support/host_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/write_all.h"

namespace skelvar {

namespace {

std::string os_error(const std::string& what, int err = errno) { return what + ": " + std::strerror(err); }

bool single_component(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

file_identity identity_of(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool is_protected(const struct stat& st, std::span<const file_identity> protect) {
    for (const file_identity& id : protect)
        if (id == identity_of(st)) return true;
    return false;
}

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

std::optional<file_identity> host_file_identity(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return identity_of(st);
}

host_folder::~host_folder() { close_fd(fd_); }

host_folder::host_folder(host_folder&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) {
    other.fd_ = -1;
}

host_folder& host_folder::operator=(host_folder&& other) noexcept {
    if (this != &other) {
        close_fd(fd_);
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

host_folder host_folder::open_results(const std::string& path, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = os_error("cannot open results folder " + path, ec ? ec.value() : errno);
        return {};
    }
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return host_folder(fd, std::move(p));
}

host_folder host_folder::subfolder(std::string_view name, std::string& error) const {
    const std::string n(name);
    const std::string where = path_ + "/" + n;
    if (!is_open() || !single_component(name)) {
        error = "unsafe folder name " + where;
        return {};
    }
    if (::mkdirat(fd_, n.c_str(), 0755) != 0 && errno != EEXIST) {
        error = os_error("cannot create folder " + where);
        return {};
    }
    // O_NOFOLLOW: a symlink planted under this name is refused, not entered.
    const int fd = ::openat(fd_, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        struct stat st {};
        if (::fstatat(fd_, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            error = where + " is a symlink, not entered";
        else
            error = os_error("cannot open folder " + where, err);
        return {};
    }
    return host_folder(fd, where);
}

host_output_file::~host_output_file() { close_fd(fd_); }

host_output_file::host_output_file(host_output_file&& other) noexcept
    : fd_(other.fd_), ends_in_hole_(other.ends_in_hole_), path_(std::move(other.path_)),
      error_(std::move(other.error_)) {
    other.fd_ = -1;
}

host_output_file& host_output_file::operator=(host_output_file&& other) noexcept {
    if (this != &other) {
        close_fd(fd_);
        fd_ = other.fd_;
        ends_in_hole_ = other.ends_in_hole_;
        path_ = std::move(other.path_);
        error_ = std::move(other.error_);
        other.fd_ = -1;
    }
    return *this;
}

host_output_file host_output_file::create(const host_folder& folder, std::string_view name,
                                          std::span<const file_identity> protect, std::string& error) {
    const std::string n(name);
    host_output_file f;
    f.path_ = folder.path() + "/" + n;
    if (!folder.is_open() || !single_component(name)) {
        error = "unsafe file name " + f.path_;
        return f;
    }
    struct stat st {};
    if (::fstatat(folder.fd_, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode) || is_protected(st, protect)) {
            error = f.path_ + " is in the way (a folder, or the evidence itself)";
            return f;
        }
        if (::unlinkat(folder.fd_, n.c_str(), 0) != 0) {
            error = os_error("cannot remove the leftover " + f.path_);
            return f;
        }
    }
    f.fd_ = ::openat(folder.fd_, n.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (f.fd_ < 0) error = os_error("cannot create " + f.path_);
    return f;
}

bool host_output_file::write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) {
        if (error_.empty()) error_ = path_ + " is not open";
        return false;
    }
    ends_in_hole_ = false;
    if (const int err = write_all(fd_, bytes.data(), bytes.size())) {
        error_ = os_error("cannot write " + path_, err);
        return false;
    }
    return true;
}

bool host_output_file::skip(std::uint64_t count) {
    if (fd_ < 0) {
        if (error_.empty()) error_ = path_ + " is not open";
        return false;
    }
    if (count == 0) return true;
    const bool too_far = count > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
    if (too_far || ::lseek(fd_, static_cast<off_t>(count), SEEK_CUR) < 0) {
        error_ = os_error("cannot write " + path_, too_far ? EFBIG : errno);
        return false;
    }
    ends_in_hole_ = true;
    return true;
}

bool host_output_file::close() {
    if (fd_ < 0) return error_.empty();
    const int fd = fd_;
    fd_ = -1;
    if (ends_in_hole_) {
        ends_in_hole_ = false;
        const off_t end = ::lseek(fd, 0, SEEK_CUR);
        if (end < 0 || ::ftruncate(fd, end) != 0) error_ = os_error("cannot finish " + path_);
    }
    if (::close(fd) != 0) {
        error_ = os_error("cannot finish " + path_);
        return false;
    }
    return error_.empty();
}

void discard_file(const host_folder& folder, std::string_view name, std::span<const file_identity> protect) {
    const std::string n(name);
    struct stat st {};
    if (!folder.is_open() || !single_component(name) ||
        ::fstatat(folder.fd_, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode) ||
        is_protected(st, protect))
        return;
    ::unlinkat(folder.fd_, n.c_str(), 0);
}

placement place_file(const host_folder& from, std::string_view temp_name, const host_folder& to,
                     std::string_view target_name, std::span<const file_identity> protect, std::string& error) {
    const std::string temp(temp_name), target(target_name);
    const std::string where = to.path() + "/" + target;
    if (!from.is_open() || !to.is_open() || !single_component(temp_name) || !single_component(target_name)) {
        error = "unsafe file name " + where;
        return placement::failed;
    }
    const auto remove_temp = [&] { ::unlinkat(from.fd_, temp.c_str(), 0); };

    // No-replace rename; where the file system lacks it, a hard link is just as exclusive.
    int err = 0;
    if (::renameat2(from.fd_, temp.c_str(), to.fd_, target.c_str(), RENAME_NOREPLACE) == 0) return placement::placed;
    err = errno;
    if (err == EINVAL || err == ENOSYS || err == ENOTSUP) {
        if (::linkat(from.fd_, temp.c_str(), to.fd_, target.c_str(), 0) == 0) {
            remove_temp();
            return placement::placed;
        }
        err = errno;
    }
    if (err != EEXIST) {
        remove_temp();
        error = os_error("cannot name the copy " + where, err);
        return placement::failed;
    }

    // The name carries the time and the MD5: a regular file of the same size is this copy.
    struct stat existing {}, fresh {};
    const bool same = ::fstatat(to.fd_, target.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
                      ::fstatat(from.fd_, temp.c_str(), &fresh, AT_SYMLINK_NOFOLLOW) == 0 &&
                      S_ISREG(existing.st_mode) && existing.st_size == fresh.st_size &&
                      !is_protected(existing, protect);
    remove_temp();
    if (same) return placement::kept_existing;
    error = where + " exists and is not the same copy";
    return placement::failed;
}

}  // namespace skelvar
