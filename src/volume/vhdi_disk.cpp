#include "volume/library_disks.h"

#if SKELVAR_HAVE_LIBVHDI
#include <libvhdi.h>

#include <vector>

#include "volume/backing_file.h"
#endif

namespace skelvar {

#if SKELVAR_HAVE_LIBVHDI

namespace {

// Differencing chains are a few disks deep; more is a loop of parent names.
constexpr std::size_t max_chain_files = 64;

std::string take_error(libvhdi_error_t*& error) {
    if (!error) return "libvhdi gave no reason";
    std::vector<char> text(4096, '\0');
    libvhdi_error_sprint(error, text.data(), text.size() - 1);
    libvhdi_error_free(&error);
    return text.data();
}

class vhdi_disk final : public virtual_disk {
public:
    ~vhdi_disk() override {
        // Children first: each one refers to its parent.
        for (libvhdi_file_t*& f : files_) {
            libvhdi_file_close(f, nullptr);
            libvhdi_file_free(&f, nullptr);
        }
    }

    bool open(const std::string& path, std::string& error) {
        std::string current = path;
        for (;;) {
            libvhdi_error_t* e = nullptr;
            libvhdi_file_t* file = nullptr;
            if (libvhdi_file_initialize(&file, &e) != 1) {
                error = take_error(e);
                return false;
            }
            if (libvhdi_file_open(file, current.c_str(), libvhdi_get_access_flags_read(), &e) != 1) {
                libvhdi_file_free(&file, nullptr);
                error = current + ": " + take_error(e);
                return false;
            }
            // Kept before linking so that the destructor closes it whatever happens next.
            files_.push_back(file);
            if (files_.size() > 1 && libvhdi_file_set_parent_file(files_[files_.size() - 2], file, &e) != 1) {
                error = current + " is not the parent recorded in its child: " + take_error(e);
                return false;
            }
            uint32_t type = 0;
            if (libvhdi_file_get_disk_type(file, &type, &e) != 1) {
                error = current + ": " + take_error(e);
                return false;
            }
            if (type != LIBVHDI_DISK_TYPE_DIFFERENTIAL) break;
            if (files_.size() >= max_chain_files) {
                error = "more than 64 differencing disks stacked: a loop of parent names";
                return false;
            }
            const std::string recorded = parent_name(file);
            const std::string parent = find_backing_file(current, recorded);
            if (parent.empty()) {
                error = current + " is a differencing disk whose parent \"" + recorded + "\" is not found";
                return false;
            }
            current = parent;
        }
        libvhdi_error_t* e = nullptr;
        size64_t size = 0;
        uint32_t sector = 0;
        if (libvhdi_file_get_media_size(files_.front(), &size, &e) != 1) {
            error = take_error(e);
            return false;
        }
        if (libvhdi_file_get_bytes_per_sector(files_.front(), &sector, nullptr) == 1 && sector >= 512) sector_ = sector;
        size_ = size;
        return true;
    }

    std::uint64_t size() const override { return size_; }
    std::uint32_t sector_size() const override { return sector_; }

    bool read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) override {
        const ssize_t got =
            libvhdi_file_read_buffer_at_offset(files_.front(), out, count, static_cast<off64_t>(offset), nullptr);
        return got == static_cast<ssize_t>(count);
    }

private:
    static std::string parent_name(libvhdi_file_t* file) {
        size_t size = 0;
        if (libvhdi_file_get_utf8_parent_filename_size(file, &size, nullptr) != 1 || size == 0 || size > 65536)
            return {};
        std::vector<uint8_t> text(size + 1, 0);
        if (libvhdi_file_get_utf8_parent_filename(file, text.data(), size, nullptr) != 1) return {};
        return reinterpret_cast<const char*>(text.data());
    }

    std::vector<libvhdi_file_t*> files_;  // the disk named first, then its parents
    std::uint64_t size_ = 0;
    std::uint32_t sector_ = 512;
};

}  // namespace

std::unique_ptr<virtual_disk> open_vhdi_disk(const std::string& path, std::string& error) {
    auto disk = std::make_unique<vhdi_disk>();
    if (!disk->open(path, error)) return nullptr;
    return disk;
}

#else

std::unique_ptr<virtual_disk> open_vhdi_disk(const std::string&, std::string& error) {
    error = "VHD and VHDX images: not built in this build (libvhdi was missing)";
    return nullptr;
}

#endif

}  // namespace skelvar
