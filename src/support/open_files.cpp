#include "support/open_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace skelvar {

std::vector<held_file> files_held_open() {
    std::vector<held_file> files;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return files;
    const int own = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(e->d_name, &end, 10);
        if (end == e->d_name || *end != '\0' || fd <= 2 || fd == own) continue;
        struct stat st {};
        if (::fstat(static_cast<int>(fd), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) continue;
        const std::string link = "/proc/self/fd/" + std::string(e->d_name);
        char target[4096];
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        files.push_back({{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)},
                         n > 0 ? std::string(target, static_cast<std::size_t>(n)) : link});
    }
    ::closedir(dir);
    return files;
}

}  // namespace skelvar
