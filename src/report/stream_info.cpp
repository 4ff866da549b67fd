#include "report/stream_info.h"

#include <cstring>
#include <string_view>

#include "ntfs/mft_entry_info.h"
#include "report/number_text.h"
#include "report/report_options.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

// The text is made of many short literal pieces and hexadecimal numbers: they are gathered in a
// local block and go to the string in a few appends instead of one (with its checks) per piece.
class piece_writer {
public:
    explicit piece_writer(std::string& out) : out_(out) {}
    ~piece_writer() { flush(); }
    piece_writer(const piece_writer&) = delete;
    piece_writer& operator=(const piece_writer&) = delete;

    template <std::size_t N>
    void literal(const char (&s)[N]) {
        room(N - 1);
        std::memcpy(block_ + used_, s, N - 1);
        used_ += N - 1;
    }
    void text(std::string_view s) {
        if (s.size() > sizeof block_ / 2) {
            flush();
            out_ += s;
            return;
        }
        room(s.size());
        std::memcpy(block_ + used_, s.data(), s.size());
        used_ += s.size();
    }
    void put(char c) {
        room(1);
        block_[used_++] = c;
    }
    // Lower-case hexadecimal, at least `min_digits` digits (at most 16 are asked for here).
    [[gnu::always_inline]] void hex(std::uint64_t v, unsigned min_digits) {
        unsigned n = hex_digit_count(v);
        if (min_digits > n) n = min_digits > 16 ? 16 : min_digits;
        room(n + 8);  // the digits go in as whole words
        put_hex_digits_wide(block_ + used_, v, n);
        used_ += n;
    }
    void dec(std::uint64_t v) {
        flush();
        append_dec(out_, v);
    }
    void utf8(std::u16string_view s) {
        flush();
        uni::append_utf8(s, out_);
    }
    // Drops the last `n` bytes written (they are still in the block).
    void unput(std::size_t n) {
        if (n <= used_) used_ -= n;
    }
    void flush() {
        out_.append(block_, used_);
        used_ = 0;
    }

private:
    void room(std::size_t n) {
        if (used_ + n > sizeof block_) flush();
    }

    std::string& out_;
    char block_[256];
    std::size_t used_ = 0;
};

}  // namespace

void append_stream_info(const mft_entry_info& entry, const report_options& options, std::string& out) {
    piece_writer w(out);
    for (const auto& [key, row] : entry.catalogue) {
        (void)key;
        if (!row.is_data) continue;
        // Nearly every stream is a record's unnamed one: its opening goes as one piece.
        if (row.name.empty() && row.label == "unnamed data") {
            w.literal("[unnamed data : sz: 0x");
        } else {
            w.put('[');
            if (!row.name.empty()) {
                w.utf8(row.name);
                w.literal(" : ");
            }
            w.text(row.label);
            w.literal(" : sz: 0x");
        }
        w.hex(row.stream_size(), 4);
        if (row.non_resident && options.cluster_info) {
            w.literal(" : start cluster/count: ");
            if (row.runs.empty()) w.literal("none : ");
            for (const compact_run& r : row.runs) {
                w.literal("0x");
                w.hex(r.lcn, 6);
                w.put('/');
                w.dec(r.count);
                if (r.sparse) w.literal(" [sparse]");
                w.literal(" : ");
            }
            w.unput(3);  // the last " : "
            w.literal("]; ");
        } else if (row.non_resident) {
            w.literal(" : nonresident]; ");
        } else {
            w.literal(" : resident]; ");
        }
    }

    if (std::uint64_t lsn = entry.logfile_seqnum()) {
        w.literal("[logfile_seqnum: 0x");
        w.hex(lsn, 6);
        w.put(']');
    }
    if (const standard_info* si = entry.standard()) {
        if (si->usn) {
            w.literal("[usnjrnl_indx: 0x");
            w.hex(si->usn, 6);
            w.put(']');
        }
        if (si->security_id) {
            w.literal("[security_id: 0x");
            w.hex(si->security_id, 4);
            w.put(']');
        }
    }
    if (options.owner_sid && !entry.owner_sid.empty()) {
        w.literal("[owner_sid: ");
        w.text(entry.owner_sid);
        w.put(']');
    }
}

}  // namespace skelvar
