#include "volume/library_disks.h"

#if SKELVAR_HAVE_LIBQCOW
#include <libqcow.h>

#include <algorithm>
#include <vector>

#include "volume/backing_file.h"
#include "volume/posix_file.h"
#endif

namespace skelvar {

#if SKELVAR_HAVE_LIBQCOW

namespace {

// Backing chains are a few images deep; more is a loop of backing names.
constexpr std::size_t max_chain_files = 64;

// Bytes per cluster from the image's own header (big-endian): cluster_bits at 20,
// or at 32 in version 1. 0 when unreadable.
std::uint64_t cluster_bytes_of(const std::string& path) {
    posix_file file;
    std::string ignored;
    std::uint8_t h[36] = {};
    if (!file.open(path, ignored) || file.read(0, h, sizeof h) != sizeof h) return 0;
    const auto be32 = [&](int at) { return std::uint32_t{h[at]} << 24 | h[at + 1] << 16 | h[at + 2] << 8 | h[at + 3]; };
    const std::uint32_t bits = be32(4) == 1 ? h[32] : be32(20);
    return bits >= 9 && bits <= 21 ? std::uint64_t{1} << bits : 0;
}

std::string take_error(libqcow_error_t*& error) {
    if (!error) return "libqcow gave no reason";
    std::vector<char> text(4096, '\0');
    libqcow_error_sprint(error, text.data(), text.size() - 1);
    libqcow_error_free(&error);
    return text.data();
}

class qcow_disk final : public virtual_disk {
public:
    ~qcow_disk() override {
        for (libqcow_file_t*& f : files_) {
            libqcow_file_close(f, nullptr);
            libqcow_file_free(&f, nullptr);
        }
    }

    bool open(const std::string& path, std::string& error) {
        std::string current = path;
        for (;;) {
            libqcow_error_t* e = nullptr;
            libqcow_file_t* file = nullptr;
            if (libqcow_file_initialize(&file, &e) != 1) {
                error = take_error(e);
                return false;
            }
            if (libqcow_file_open(file, current.c_str(), libqcow_get_access_flags_read(), &e) != 1) {
                libqcow_file_free(&file, nullptr);
                error = current + ": " + take_error(e);
                return false;
            }
            files_.push_back(file);
            paths_.push_back(current);
            if (files_.size() > 1 && libqcow_file_set_parent_file(files_[files_.size() - 2], file, &e) != 1) {
                error = current + " cannot serve as backing file: " + take_error(e);
                return false;
            }
            uint32_t encryption = 0;
            if (libqcow_file_get_encryption_method(file, &encryption, nullptr) == 1 &&
                encryption != LIBQCOW_ENCRYPTION_METHOD_NONE) {
                error = current + " is encrypted";
                return false;
            }
            const std::string recorded = backing_name(file);
            if (recorded.empty()) break;
            if (files_.size() >= max_chain_files) {
                error = "more than 64 backing files stacked: a loop of backing names";
                return false;
            }
            const std::string backing = find_backing_file(current, recorded);
            if (backing.empty()) {
                error = current + " is backed by \"" + recorded + "\", which is not found";
                return false;
            }
            if (libqcow_check_file_signature(backing.c_str(), nullptr) != 1) {
                error = current + " is backed by " + backing + ", which is no QCOW image (only QCOW backing files are read)";
                return false;
            }
            current = backing;
        }
        libqcow_error_t* e = nullptr;
        size64_t size = 0;
        if (libqcow_file_get_media_size(files_.front(), &size, &e) != 1) {
            error = take_error(e);
            return false;
        }
        size_ = size;
        // libqcow (20201213) serves a read spanning several clusters of an image
        // with a backing file from the backing file alone: such reads go cluster by cluster.
        if (files_.size() > 1) {
            step_ = 1u << 21;
            for (const std::string& p : paths_) {
                const std::uint64_t c = cluster_bytes_of(p);
                step_ = std::min(step_, c ? c : 512);
            }
        }
        return true;
    }

    std::uint64_t size() const override { return size_; }

    bool read(std::uint64_t offset, std::uint8_t* out, std::uint32_t count) override {
        while (count > 0) {
            std::uint32_t n = count;
            if (step_ && step_ - offset % step_ < n) n = static_cast<std::uint32_t>(step_ - offset % step_);
            const ssize_t got =
                libqcow_file_read_buffer_at_offset(files_.front(), out, n, static_cast<off64_t>(offset), nullptr);
            if (got != static_cast<ssize_t>(n)) return false;
            offset += n;
            out += n;
            count -= n;
        }
        return true;
    }

private:
    static std::string backing_name(libqcow_file_t* file) {
        size_t size = 0;
        if (libqcow_file_get_utf8_backing_filename_size(file, &size, nullptr) != 1 || size == 0 || size > 65536)
            return {};
        std::vector<uint8_t> text(size + 1, 0);
        if (libqcow_file_get_utf8_backing_filename(file, text.data(), size, nullptr) != 1) return {};
        return reinterpret_cast<const char*>(text.data());
    }

    std::vector<libqcow_file_t*> files_;  // the image named first, then its backing files
    std::vector<std::string> paths_;
    std::uint64_t size_ = 0;
    std::uint64_t step_ = 0;  // longest read handed to the library at once; 0 = any
};

}  // namespace

std::unique_ptr<virtual_disk> open_qcow_disk(const std::string& path, std::string& error) {
    auto disk = std::make_unique<qcow_disk>();
    if (!disk->open(path, error)) return nullptr;
    return disk;
}

#else

std::unique_ptr<virtual_disk> open_qcow_disk(const std::string&, std::string& error) {
    error = "QCOW images: not built in this build (libqcow was missing)";
    return nullptr;
}

#endif

}  // namespace skelvar
