#include "volume/block_device_query.h"

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cctype>
#include <fstream>

namespace skelvar {

namespace {

// One unsigned decimal number from a /sys attribute file.
bool read_sys_number(const std::string& path, std::uint64_t& value) {
    std::ifstream in(path);
    std::uint64_t v = 0;
    if (!(in >> v)) return false;
    value = v;
    return true;
}

std::string sys_dir_of(dev_t rdev) {
    return "/sys/dev/block/" + std::to_string(major(rdev)) + ":" + std::to_string(minor(rdev));
}

bool query_block_special(int fd, dev_t rdev, block_device_facts& facts) {
    const std::string sys = sys_dir_of(rdev);

    std::uint64_t size = 0;
    if (::ioctl(fd, BLKGETSIZE64, &size) != 0) {
        std::uint64_t sectors = 0;
        // /sys counts 512-byte units whatever the logical sector size is.
        if (!read_sys_number(sys + "/size", sectors) || sectors > UINT64_MAX / 512) return false;
        size = sectors * 512;
    }
    facts.size = size;

    int logical = 0;
    std::uint64_t sys_logical = 0;
    if (::ioctl(fd, BLKSSZGET, &logical) == 0 && logical > 0) {
        facts.sector_size = static_cast<std::uint32_t>(logical);
    } else if (read_sys_number(sys + "/queue/logical_block_size", sys_logical) ||
               read_sys_number(sys + "/../queue/logical_block_size", sys_logical)) {
        if (sys_logical >= 512 && sys_logical <= 65536) facts.sector_size = static_cast<std::uint32_t>(sys_logical);
    }

    std::uint64_t number = 0, start = 0;
    if (read_sys_number(sys + "/partition", number) && read_sys_number(sys + "/start", start)) {
        facts.is_partition = true;
        facts.partition_number = static_cast<std::uint32_t>(number);
        facts.partition_start = start <= UINT64_MAX / 512 ? start * 512 : 0;
    }
    return true;
}

}  // namespace

bool query_block_device(int fd, block_device_facts& facts) {
    facts = block_device_facts{};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    if (S_ISBLK(st.st_mode)) return query_block_special(fd, st.st_rdev, facts);
    if (S_ISREG(st.st_mode)) {
        facts.size = static_cast<std::uint64_t>(st.st_size);
        facts.sector_size = 512;
        return true;
    }
    return false;
}

std::string physical_drive_path(int number) {
    if (number < 0 || number > 24) return {};
    return std::string("/dev/sd") + static_cast<char>('a' + number);
}

bool is_drive_letter_path(const std::string& path) {
    if (path.size() < 2 || path.size() > 3) return false;
    if (!std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':') return false;
    return path.size() == 2 || path[2] == '\\' || path[2] == '/';
}

}  // namespace skelvar
