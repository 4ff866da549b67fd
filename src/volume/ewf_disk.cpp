#include "volume/library_disks.h"

#if SKELVAR_HAVE_LIBEWF
#include <libewf.h>

#include <vector>

#include "volume/cached_disk.h"
#endif

namespace skelvar {

#if SKELVAR_HAVE_LIBEWF

namespace {

// Decompressed chunks kept for the scattered reads: a directory record ahead of
// the walk costs a whole chunk, and its neighbours are often wanted soon after.
constexpr std::uint64_t cache_bytes = 128u << 20;

std::string take_error(libewf_error_t*& error) {
    if (!error) return "libewf gave no reason";
    std::vector<char> text(4096, '\0');
    libewf_error_sprint(error, text.data(), text.size() - 1);
    libewf_error_free(&error);
    return text.data();
}

class ewf_disk final : public virtual_disk {
public:
    ~ewf_disk() override {
        if (!handle_) return;
        libewf_handle_close(handle_, nullptr);
        libewf_handle_free(&handle_, nullptr);
    }

    bool open(const std::string& path, std::string& error) {
        libewf_error_t* e = nullptr;
        char** names = nullptr;
        int count = 0;
        if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count, &e) != 1) {
            error = "segment files not found: " + take_error(e);
            return false;
        }
        const bool opened = libewf_handle_initialize(&handle_, &e) == 1 &&
                            libewf_handle_open(handle_, names, count, libewf_get_access_flags_read(), &e) == 1;
        libewf_glob_free(names, count, nullptr);
        size64_t size = 0;
        uint32_t sector = 0;
        if (!opened || libewf_handle_get_media_size(handle_, &size, &e) != 1 ||
            libewf_handle_get_bytes_per_sector(handle_, &sector, &e) != 1) {
            error = take_error(e);
            return false;
        }
        size_ = size;
        sector_ = sector ? sector : 512;
        size32_t chunk = 0;
        if (libewf_handle_get_chunk_size(handle_, &chunk, nullptr) == 1 && chunk >= 512 && chunk <= (1u << 24))
            chunk_ = chunk;
        return true;
    }

    std::uint32_t chunk_bytes() const { return chunk_; }

    std::uint64_t size() const override { return size_; }
    std::uint32_t sector_size() const override { return sector_; }

    bool read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) override {
        const ssize_t got = libewf_handle_read_random(handle_, out, count, static_cast<off64_t>(offset), nullptr);
        return got == static_cast<ssize_t>(count);
    }

private:
    libewf_handle_t* handle_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint32_t sector_ = 512;
    std::uint32_t chunk_ = 32768;
};

}  // namespace

std::unique_ptr<virtual_disk> open_ewf_disk(const std::string& path, std::string& error) {
    auto disk = std::make_unique<ewf_disk>();
    if (!disk->open(path, error)) return nullptr;
    const std::uint32_t chunk = disk->chunk_bytes();
    return std::make_unique<cached_disk>(std::move(disk), chunk, cache_bytes / chunk);
}

#else

std::unique_ptr<virtual_disk> open_ewf_disk(const std::string&, std::string& error) {
    error = "E01 images: not built in this build (libewf was missing)";
    return nullptr;
}

#endif

}  // namespace skelvar
