#include "volume/backing_file.h"

#include <sys/stat.h>

#include <algorithm>

namespace skelvar {

std::vector<std::string> backing_file_candidates(const std::string& child_path, const std::string& recorded) {
    std::string name = recorded;
    name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
    std::replace(name.begin(), name.end(), '\\', '/');
    std::vector<std::string> out;
    if (name.empty()) return out;
    const std::size_t slash = child_path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : child_path.substr(0, slash + 1);
    const bool drive_path = name.size() >= 2 && name[1] == ':';
    if (!drive_path) out.push_back(name.front() == '/' ? name : folder + name);
    const std::size_t last = name.rfind('/');
    const std::string beside = folder + (last == std::string::npos ? name : name.substr(last + 1));
    if (out.empty() || out.front() != beside) out.push_back(beside);
    return out;
}

std::string find_backing_file(const std::string& child_path, const std::string& recorded) {
    for (const std::string& path : backing_file_candidates(child_path, recorded)) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return path;
    }
    return {};
}

}  // namespace skelvar
