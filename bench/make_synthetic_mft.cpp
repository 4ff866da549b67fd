// Writes a synthetic extracted $MFT for benchmarks and fuzz seeds.
//
//   make_synthetic_mft <out> <records> [seed]
//
// 1024-byte FILE records with valid update sequence arrays; entries 0..15 look
// like the system files, the rest is a directory tree (up to depth 8) filled
// with files carrying Win32/DOS names, resident and non-resident data, a few
// alternate streams, attribute lists with extension records and deleted
// entries. Everything is derived from the seed and the entry number, so the
// same arguments always give the same bytes; records are streamed, never held.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t record_size = 1024;
constexpr std::uint32_t sector = 512;
constexpr std::uint32_t cluster = 4096;
constexpr std::uint64_t volume_clusters = 1ull << 26;  // a 256 GiB volume
constexpr std::uint16_t first_attr = 0x38;

// FILETIME bounds of the generated times: 2015-01-01 .. 2026-01-01 (exclusive).
constexpr std::uint64_t time_lo = 130645440000000000ull;
constexpr std::uint64_t time_hi = 134116992000000000ull;
constexpr std::uint64_t ticks_per_second = 10000000ull;
constexpr std::uint64_t ticks_per_day = 86400ull * ticks_per_second;

constexpr std::uint16_t in_use = 0x0001;
constexpr std::uint16_t is_dir = 0x0002;

std::uint64_t mix64(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// splitmix64: small, fast and identical on every platform (unlike <random>'s distributions).
class rng {
public:
    explicit rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() { return mix64(state_ += 0x9E3779B97F4A7C15ull); }
    std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : next() % n; }
    std::uint64_t range(std::uint64_t lo, std::uint64_t hi) { return lo + below(hi - lo + 1); }
    bool chance(unsigned per_mille) { return below(1000) < per_mille; }
    template <class T, std::size_t N>
    const T& pick(const std::array<T, N>& items) { return items[below(N)]; }

private:
    std::uint64_t state_;
};

// Independent stream per (seed, entry, purpose) so that planning and writing agree.
// Never draw twice within one full expression: argument order differs between compilers.
rng stream_for(std::uint64_t seed, std::uint64_t entry, std::uint64_t purpose) {
    return rng(mix64(seed * 0x100000001B3ull ^ mix64(entry + 1) ^ (purpose << 56)));
}

enum class kind : std::uint8_t { file, directory, file_with_extension, extension };

std::uint16_t system_sequence(std::uint64_t entry) { return entry == 0 ? 1 : static_cast<std::uint16_t>(entry); }

std::uint16_t sequence_of(std::uint64_t seed, std::uint64_t entry) {
    if (entry < 16) return system_sequence(entry);
    return static_cast<std::uint16_t>(1 + stream_for(seed, entry, 1).below(40));
}

std::uint64_t make_ref(std::uint64_t entry, std::uint16_t seq) {
    return (entry & 0x0000FFFFFFFFFFFFull) | (static_cast<std::uint64_t>(seq) << 48);
}

std::size_t align8(std::size_t n) { return (n + 7) & ~static_cast<std::size_t>(7); }

// Little-endian stores into a byte buffer.
void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void put64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

using bytes = std::vector<std::uint8_t>;

void append16(bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void append32(bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void append64(bytes& b, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void append_utf16(bytes& b, std::u16string_view s) {
    for (char16_t c : s) append16(b, static_cast<std::uint16_t>(c));
}

void append_number(std::u16string& s, std::uint64_t v, unsigned width = 1, unsigned base = 10) {
    char tmp[24];
    std::snprintf(tmp, sizeof tmp, base == 16 ? "%0*llX" : "%0*llu", static_cast<int>(width),
                  static_cast<unsigned long long>(v));
    for (const char* c = tmp; *c; ++c) s.push_back(static_cast<char16_t>(*c));
}

// One run of a non-resident attribute; lcn is ignored for a sparse run.
struct run {
    std::uint64_t length = 0;
    std::uint64_t lcn = 0;
    bool sparse = false;
};

unsigned unsigned_width(std::uint64_t v) {
    unsigned n = 1;
    while (n < 8 && (v >> (8 * n)) != 0) ++n;
    return n;
}

unsigned signed_width(std::int64_t v) {
    for (unsigned n = 1; n < 8; ++n) {
        const std::int64_t lim = std::int64_t{1} << (8 * n - 1);
        if (v >= -lim && v < lim) return n;
    }
    return 8;
}

bytes encode_runs(const std::vector<run>& runs) {
    bytes out;
    std::int64_t prev = 0;
    for (const run& r : runs) {
        const unsigned lw = unsigned_width(r.length);
        if (r.sparse) {
            out.push_back(static_cast<std::uint8_t>(lw));
            for (unsigned i = 0; i < lw; ++i) out.push_back(static_cast<std::uint8_t>(r.length >> (8 * i)));
            continue;
        }
        const std::int64_t delta = static_cast<std::int64_t>(r.lcn) - prev;
        const unsigned ow = signed_width(delta);
        out.push_back(static_cast<std::uint8_t>(lw | (ow << 4)));
        for (unsigned i = 0; i < lw; ++i) out.push_back(static_cast<std::uint8_t>(r.length >> (8 * i)));
        for (unsigned i = 0; i < ow; ++i)
            out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(delta) >> (8 * i)));
        prev = static_cast<std::int64_t>(r.lcn);
    }
    out.push_back(0);
    return out;
}

// Builds one FILE record in place; attributes are appended in call order.
class record_builder {
public:
    void reset() {
        buf_.fill(0);
        pos_ = first_attr;
        next_id_ = 0;
    }

    // Room left for attributes, keeping the end marker.
    std::size_t room() const { return record_size - 8 - pos_; }
    std::uint16_t next_id() const { return next_id_; }

    bool add_resident(std::uint32_t type, std::u16string_view name, const std::uint8_t* value, std::size_t value_len,
                      bool indexed = false, std::uint16_t flags = 0) {
        const std::size_t value_off = align8(0x18 + 2 * name.size());
        const std::size_t len = align8(value_off + value_len);
        if (len > room()) return false;
        std::uint8_t* a = header(type, len, 0, name, 0x18, flags);
        put32(a + 0x10, static_cast<std::uint32_t>(value_len));
        put16(a + 0x14, static_cast<std::uint16_t>(value_off));
        a[0x16] = indexed ? 1 : 0;
        if (value && value_len) std::memcpy(a + value_off, value, value_len);
        pos_ += len;
        return true;
    }
    bool add_resident(std::uint32_t type, std::u16string_view name, const bytes& value, bool indexed = false) {
        return add_resident(type, name, value.data(), value.size(), indexed);
    }

    bool add_non_resident(std::uint32_t type, std::u16string_view name, const std::vector<run>& runs,
                          std::uint64_t data_size, std::uint64_t start_vcn = 0, std::uint16_t flags = 0) {
        const bytes encoded = encode_runs(runs);
        const std::size_t runs_off = align8(0x40 + 2 * name.size());
        const std::size_t len = align8(runs_off + encoded.size());
        if (len > room()) return false;
        std::uint64_t clusters = 0;
        for (const run& r : runs) clusters += r.length;
        std::uint8_t* a = header(type, len, 1, name, 0x40, flags);
        put64(a + 0x10, start_vcn);
        put64(a + 0x18, start_vcn + clusters - 1);
        put16(a + 0x20, static_cast<std::uint16_t>(runs_off));
        put64(a + 0x28, clusters * cluster);
        put64(a + 0x30, data_size);
        put64(a + 0x38, data_size);
        std::memcpy(a + runs_off, encoded.data(), encoded.size());
        pos_ += len;
        return true;
    }

    // Header, end marker and update sequence array; returns the finished bytes.
    const std::uint8_t* finish(std::uint64_t entry, std::uint16_t seq, std::uint16_t flags, std::uint16_t links,
                               std::uint64_t base_ref, std::uint64_t lsn, std::uint16_t usn) {
        put32(&buf_[pos_], 0xFFFFFFFFu);
        const std::uint32_t in_use_bytes = static_cast<std::uint32_t>(pos_ + 8);
        std::memcpy(&buf_[0], "FILE", 4);
        put16(&buf_[0x04], 0x30);
        put16(&buf_[0x06], record_size / sector + 1);
        put64(&buf_[0x08], lsn);
        put16(&buf_[0x10], seq);
        put16(&buf_[0x12], links);
        put16(&buf_[0x14], first_attr);
        put16(&buf_[0x16], flags);
        put32(&buf_[0x18], in_use_bytes);
        put32(&buf_[0x1C], record_size);
        put64(&buf_[0x20], base_ref);
        put16(&buf_[0x28], next_id_);
        put32(&buf_[0x2C], static_cast<std::uint32_t>(entry));
        // Sector ends move into the array; the update sequence number takes their place.
        put16(&buf_[0x30], usn);
        for (std::uint32_t i = 1; i <= record_size / sector; ++i) {
            std::uint8_t* tail = &buf_[i * sector - 2];
            buf_[0x30 + 2 * i] = tail[0];
            buf_[0x31 + 2 * i] = tail[1];
            put16(tail, usn);
        }
        return buf_.data();
    }

private:
    std::uint8_t* header(std::uint32_t type, std::size_t len, std::uint8_t non_resident, std::u16string_view name,
                         std::size_t name_off, std::uint16_t flags) {
        std::uint8_t* a = &buf_[pos_];
        put32(a, type);
        put32(a + 0x04, static_cast<std::uint32_t>(len));
        a[0x08] = non_resident;
        a[0x09] = static_cast<std::uint8_t>(name.size());
        put16(a + 0x0A, name.empty() ? 0 : static_cast<std::uint16_t>(name_off));
        put16(a + 0x0C, flags);
        put16(a + 0x0E, next_id_++);
        for (std::size_t i = 0; i < name.size(); ++i) put16(a + name_off + 2 * i, static_cast<std::uint16_t>(name[i]));
        return a;
    }

    std::array<std::uint8_t, record_size> buf_{};
    std::size_t pos_ = first_attr;
    std::uint16_t next_id_ = 0;
};

struct times {
    std::uint64_t created = 0, modified = 0, mft_changed = 0, accessed = 0;
};

times random_times(rng& r) {
    times t;
    t.created = r.range(time_lo, time_hi - 30 * ticks_per_day);
    const std::uint64_t left = time_hi - t.created;
    t.modified = r.chance(300) ? t.created : t.created + r.below(left / 2);
    t.mft_changed = t.modified + r.below(std::min<std::uint64_t>(ticks_per_day, time_hi - t.modified));
    t.accessed = t.mft_changed + r.below((time_hi - t.mft_changed) / 4);
    return t;
}

bytes standard_information(const times& t, std::uint32_t attributes, rng& r) {
    bytes v;
    append64(v, t.created);
    append64(v, t.modified);
    append64(v, t.mft_changed);
    append64(v, t.accessed);
    append32(v, attributes);
    append32(v, 0);                                               // maximum versions
    append32(v, 0);                                               // version
    append32(v, 0);                                               // class id
    append32(v, 0);                                               // owner id
    append32(v, static_cast<std::uint32_t>(r.range(0x100, 0x7FF)));  // security id
    append64(v, 0);                                               // quota charged
    append64(v, r.below(1ull << 34));                             // usn
    return v;
}

bytes file_name_value(std::uint64_t parent, const times& t, std::uint64_t allocated, std::uint64_t real,
                      std::uint32_t flags, std::u16string_view name, std::uint8_t name_space) {
    bytes v;
    append64(v, parent);
    append64(v, t.created);
    append64(v, t.modified);
    append64(v, t.mft_changed);
    append64(v, t.accessed);
    append64(v, allocated);
    append64(v, real);
    append32(v, flags);
    append32(v, 0);
    v.push_back(static_cast<std::uint8_t>(name.size()));
    v.push_back(name_space);
    append_utf16(v, name);
    return v;
}

// An $I30 index root with only the end entry (children live in INDX blocks we don't write).
bytes index_root_value(bool large) {
    bytes v;
    append32(v, 0x30);  // indexed attribute type: $FILE_NAME
    append32(v, 1);     // collation: file name
    append32(v, 4096);
    v.push_back(1);
    v.insert(v.end(), 3, 0);
    const std::uint32_t entry_len = large ? 0x18 : 0x10;
    append32(v, 0x10);
    append32(v, 0x10 + entry_len);
    append32(v, 0x10 + entry_len);
    v.push_back(large ? 1 : 0);
    v.insert(v.end(), 3, 0);
    append64(v, 0);
    append16(v, static_cast<std::uint16_t>(entry_len));
    append16(v, 0);
    append32(v, large ? 3 : 2);
    if (large) append64(v, 0);
    return v;
}

std::vector<run> random_runs(rng& r, std::uint64_t clusters, unsigned max_runs, bool allow_sparse) {
    std::vector<run> runs;
    const unsigned n = static_cast<unsigned>(std::min<std::uint64_t>(clusters, r.range(1, max_runs)));
    std::uint64_t left = clusters;
    for (unsigned i = 0; i < n; ++i) {
        run x;
        x.length = i + 1 == n ? left : r.range(1, left - (n - 1 - i));
        left -= x.length;
        x.sparse = allow_sparse && i > 0 && i + 1 < n && r.chance(300);
        if (!x.sparse) x.lcn = r.range(0x1000, volume_clusters - x.length - 1);
        runs.push_back(x);
    }
    return runs;
}

const std::array<std::u16string_view, 12> top_dirs = {
    u"Windows", u"Users", u"Program Files", u"Program Files (x86)", u"ProgramData", u"$Recycle.Bin",
    u"PerfLogs", u"Intel", u"Recovery", u"System Volume Information", u"inetpub", u"Temp"};
const std::array<std::u16string_view, 24> dir_words = {
    u"Documents", u"Downloads", u"AppData", u"Local", u"Roaming", u"Microsoft", u"System32", u"drivers",
    u"config", u"logs", u"cache", u"Projects", u"backup", u"Desktop", u"Pictures", u"node_modules",
    u"WinSxS", u"Prefetch", u"Fotos Über", u"資料", u"Отчёты", u"build", u"src", u"Smith, John"};
const std::array<std::u16string_view, 24> file_words = {
    u"report", u"IMG_", u"invoice", u"notes", u"setup", u"kernel", u"data", u"backup", u"résumé",
    u"Übersicht", u"議事録", u"отчёт", u"config", u"readme", u"Budget 2019", u"svchost", u"chrome",
    u"mimikatz", u"Smith, John", u"photo", u"log", u"update", u"license", u"~$draft"};
const std::array<std::u16string_view, 24> extensions = {
    u".txt", u".docx", u".xlsx", u".pdf", u".jpg", u".png", u".exe", u".dll", u".log", u".ini", u".dat", u".zip",
    u".lnk", u".pf", u".evtx", u".mp4", u".json", u".xml", u".js", u".ps1", u".tmp", u".sys", u".JPG", u""};

std::u16string directory_name(rng& r, unsigned depth) {
    if (depth == 1 && r.chance(500)) return std::u16string(r.pick(top_dirs));
    std::u16string s(r.pick(dir_words));
    if (r.chance(600)) {
        s.push_back(u'_');
        append_number(s, r.below(10000), 4);
    }
    return s;
}

struct file_name_pick {
    std::u16string stem, ext;
};

file_name_pick file_name(rng& r) {
    file_name_pick n;
    n.stem = std::u16string(r.pick(file_words));
    if (r.chance(700)) {
        const std::uint64_t number = r.below(100000);
        append_number(n.stem, number, r.chance(500) ? 4 : 1);
    }
    if (r.chance(50)) n.stem += u" - Copy";
    n.ext = std::u16string(r.pick(extensions));
    return n;
}

bool is_83_char(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_'; }
char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

// The long name itself when it is already a plain 8.3 name.
bool fits_83(const file_name_pick& n) {
    if (n.stem.empty() || n.stem.size() > 8 || n.ext.size() > 4) return false;
    for (char16_t c : n.stem)
        if (!is_83_char(c)) return false;
    for (std::size_t i = 1; i < n.ext.size(); ++i)
        if (!is_83_char(n.ext[i])) return false;
    return true;
}

std::u16string short_name(const file_name_pick& n, std::uint64_t entry) {
    std::u16string s;
    for (char16_t c : n.stem) {
        const char16_t u = upper(c);
        if (is_83_char(u)) s.push_back(u);
        if (s.size() == 6) break;
    }
    if (s.size() < 2) {
        s.clear();
        append_number(s, entry & 0xFFFF, 4, 16);
    }
    s += u"~1";
    if (n.ext.size() > 1) {
        s.push_back(u'.');
        for (std::size_t i = 1; i < n.ext.size() && i <= 3; ++i) {
            const char16_t u = upper(n.ext[i]);
            s.push_back(is_83_char(u) ? u : u'_');
        }
    }
    return s;
}

// Directory tree: entries of the directories, their parents and depths.
struct directory_plan {
    std::uint64_t entry = 0;
    std::uint64_t parent = 0;
    unsigned depth = 0;
};

struct plan {
    std::vector<kind> kinds;               // per entry >= 16
    std::vector<directory_plan> dirs;  // ascending entry order; dirs[0] is the root
};

plan make_plan(std::uint64_t seed, std::uint64_t records) {
    plan p;
    p.kinds.assign(records, kind::file);
    p.dirs.push_back({5, 5, 0});
    for (std::uint64_t i = 16; i < records; ++i) {
        rng r = stream_for(seed, i, 2);
        const std::uint64_t roll = r.below(1000);
        if (roll < 50) {
            p.kinds[i] = kind::directory;
            p.dirs.push_back({i, 0, 0});
        } else if (roll < 55 && i + 1 < records) {
            p.kinds[i] = kind::file_with_extension;
            p.kinds[++i] = kind::extension;
        }
    }
    // Parents are assigned in shuffled order, so a parent may have a higher entry number than its child.
    rng r(mix64(seed ^ 0xD1B54A32D192ED03ull));
    std::vector<std::uint32_t> order(p.dirs.size() - 1);
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i + 1;
    for (std::size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[r.below(i)]);
    std::vector<std::uint32_t> can_have_children{0};
    for (std::uint32_t d : order) {
        // Some extra children for the root, as real volumes have many top-level folders.
        std::uint32_t parent = can_have_children[r.below(can_have_children.size())];
        if (r.chance(100)) parent = 0;
        p.dirs[d].parent = p.dirs[parent].entry;
        p.dirs[d].depth = p.dirs[parent].depth + 1;
        if (p.dirs[d].depth < 8) can_have_children.push_back(d);
    }
    return p;
}

struct counters {
    std::uint64_t dirs = 0, files = 0, deleted = 0, resident = 0, non_resident = 0, ads = 0, dos_names = 0,
                  with_list = 0;
};

class mft_writer {
public:
    mft_writer(std::uint64_t seed, std::uint64_t records, plan p) : seed_(seed), records_(records), plan_(std::move(p)) {}

    const counters& stats() const { return stats_; }

    const std::uint8_t* build(std::uint64_t entry) {
        b_.reset();
        rng r = stream_for(seed_, entry, 3);
        lsn_ += r.range(0x100, 0x4000);
        if (entry < 16) return system_record(entry, r);
        switch (plan_.kinds[entry]) {
            case kind::directory: return directory_record(entry, r);
            case kind::extension: return nullptr;  // written with its base record
            default: return file_record(entry, r);
        }
    }

    // The extension record that follows a file_with_extension base.
    const std::uint8_t* pending_extension() { return has_pending_ ? pending_.data() : nullptr; }
    void clear_pending() { has_pending_ = false; }

private:
    std::uint64_t ref_of(std::uint64_t entry) const { return make_ref(entry, sequence_of(seed_, entry)); }
    std::uint16_t usn(rng& r) { return static_cast<std::uint16_t>(r.range(1, 0xFFFF)); }

    const directory_plan& dir_at(std::uint64_t entry) {
        while (plan_.dirs[dir_cursor_].entry < entry) ++dir_cursor_;
        return plan_.dirs[dir_cursor_];
    }

    const std::uint8_t* system_record(std::uint64_t entry, rng& r) {
        static constexpr std::array<std::u16string_view, 16> names = {
            u"$MFT", u"$MFTMirr", u"$LogFile", u"$Volume", u"$AttrDef", u".", u"$Bitmap", u"$Boot",
            u"$BadClus", u"$Secure", u"$UpCase", u"$Extend", u"", u"", u"", u""};
        times t;
        t.created = t.modified = t.mft_changed = t.accessed = time_lo + 3 * ticks_per_day + r.below(ticks_per_second);
        const std::uint64_t root_ref = make_ref(5, 5);
        const bool dir = entry == 5 || entry == 11;
        b_.add_resident(0x10, {}, standard_information(t, 0x06, r));
        if (entry >= 12) {  // reserved entries: in use but nameless
            b_.add_resident(0x80, {}, nullptr, 0);
            return b_.finish(entry, system_sequence(entry), in_use, 0, 0, lsn_, usn(r));
        }
        std::uint64_t size = 0;
        std::vector<run> runs;
        const std::uint64_t mft_clusters = (records_ * record_size + cluster - 1) / cluster;
        switch (entry) {
            case 0:
                size = records_ * record_size;
                runs = {{mft_clusters / 2 + 1, 0xC0000, false}, {mft_clusters - mft_clusters / 2 - 1, 0x2A0000, false}};
                if (runs[1].length == 0) runs.pop_back();
                break;
            case 1: size = 4096; runs = {{1, 2, false}}; break;
            case 2: size = 64ull << 20; runs = {{(64ull << 20) / cluster, 0x40000, false}}; break;
            case 4: size = 2560; runs = {{1, 0x60000, false}}; break;
            case 6: size = volume_clusters / 8; runs = {{size / cluster, 0x8000, false}}; break;
            case 7: size = 8192; runs = {{2, 0, false}}; break;  // $Boot: the one run at LCN 0
            case 10: size = 131072; runs = {{32, 0x60010, false}}; break;
            default: break;
        }
        const std::uint32_t fn_flags = 0x06 | (dir ? 0x10000000u : 0u);
        const std::uint64_t alloc = (size + cluster - 1) / cluster * cluster;
        b_.add_resident(0x30, {}, file_name_value(root_ref, t, alloc, size, fn_flags, names[entry], 3), true);
        if (!runs.empty()) b_.add_non_resident(0x80, {}, runs, size);
        switch (entry) {
            case 0: {
                const std::uint64_t bitmap = ((records_ + 63) / 64) * 8;
                b_.add_non_resident(0xB0, {}, {{(bitmap + cluster - 1) / cluster, 0xBFFF0, false}}, bitmap);
                break;
            }
            case 3: {
                bytes vol;
                append_utf16(vol, u"SYNTH");
                b_.add_resident(0x60, {}, vol);
                bytes info(12, 0);
                info[8] = 3;
                info[9] = 1;
                b_.add_resident(0x70, {}, info);
                b_.add_resident(0x80, {}, nullptr, 0);
                break;
            }
            case 5:
                b_.add_resident(0x90, u"$I30", index_root_value(true));
                b_.add_non_resident(0xA0, u"$I30", {{4, 0x61000, false}}, 4 * cluster);
                b_.add_resident(0xB0, u"$I30", bytes(8, 0x0F));
                break;
            case 8: {  // $BadClus: empty unnamed stream and a volume-sized sparse $Bad
                b_.add_resident(0x80, {}, nullptr, 0);
                b_.add_non_resident(0x80, u"$Bad", {{volume_clusters, 0, true}}, volume_clusters * cluster, 0, 0x8000);
                break;
            }
            case 9:
                b_.add_non_resident(0x80, u"$SDS", {{64, 0x62000, false}}, 64 * cluster);
                b_.add_resident(0x90, u"$SDH", index_root_value(false));
                b_.add_resident(0x90, u"$SII", index_root_value(false));
                break;
            case 11: b_.add_resident(0x90, u"$I30", index_root_value(false)); break;
            default: break;
        }
        return b_.finish(entry, system_sequence(entry), static_cast<std::uint16_t>(in_use | (dir ? is_dir : 0)), 1, 0,
                         lsn_, usn(r));
    }

    const std::uint8_t* directory_record(std::uint64_t entry, rng& r) {
        const directory_plan& d = dir_at(entry);
        const std::u16string name = directory_name(r, d.depth);
        times t = random_times(r);
        const times fn_times = times_for_names(t, r);
        ++stats_.dirs;
        b_.add_resident(0x10, {}, standard_information(t, 0x10, r));
        add_names(choose_names(entry, r, {name, u""}), ref_of(d.parent), fn_times, 0, 0, 0x10000000u);
        const bool large = r.chance(300);
        b_.add_resident(0x90, u"$I30", index_root_value(large));
        if (large) {
            const std::uint64_t blocks = r.range(1, 8);
            b_.add_non_resident(0xA0, u"$I30", random_runs(r, blocks, 2, false), blocks * cluster);
            b_.add_resident(0xB0, u"$I30", bytes(8, 0xFF));
        }
        return b_.finish(entry, sequence_of(seed_, entry), in_use | is_dir, 1, 0, lsn_, usn(r));
    }

    // File-name times: usually the creation time in all four fields, sometimes a later rename,
    // rarely an SI creation time pushed years back (the trace of a time-stomping tool).
    times times_for_names(times& si, rng& r) {
        times fn{si.created, si.created, si.created, si.created};
        if (r.chance(150)) fn = {si.created, si.modified, si.mft_changed, si.mft_changed};
        if (r.chance(5) && si.created > time_lo + 400 * ticks_per_day) {
            si.created -= r.range(30, 365) * ticks_per_day;
            si.modified = std::min(si.modified, si.created + ticks_per_day);
        }
        return fn;
    }

    struct name_choice {
        std::u16string name;
        std::uint8_t name_space = 1;
    };

    // Win32 + DOS pair, a single Win32-and-DOS name, Win32 alone, or rarely POSIX.
    std::vector<name_choice> choose_names(std::uint64_t entry, rng& r, const file_name_pick& n) {
        const std::u16string full = n.stem + n.ext;
        if (fits_83(n) && r.chance(800)) {
            std::u16string up;
            for (char16_t c : full) up.push_back(upper(c));
            return {{up, 3}};
        }
        if (r.chance(10)) return {{full, 0}};
        if (!r.chance(850)) return {{full, 1}};
        ++stats_.dos_names;
        return {{full, 1}, {short_name(n, entry), 2}};
    }

    void add_names(const std::vector<name_choice>& names, std::uint64_t parent, const times& t, std::uint64_t alloc,
                   std::uint64_t size, std::uint32_t flags) {
        for (const name_choice& n : names)
            b_.add_resident(0x30, {}, file_name_value(parent, t, alloc, size, flags, n.name, n.name_space), true);
    }

    const std::uint8_t* file_record(std::uint64_t entry, rng& r) {
        const bool with_extension = plan_.kinds[entry] == kind::file_with_extension;
        const directory_plan& parent = plan_.dirs[r.below(plan_.dirs.size())];
        const file_name_pick name = file_name(r);
        const std::vector<name_choice> names = choose_names(entry, r, name);
        times t = random_times(r);
        const times fn_times = times_for_names(t, r);
        const bool deleted = r.chance(50);
        std::uint32_t attributes = 0x20;
        if (r.chance(30)) attributes |= 0x02;
        if (r.chance(10)) attributes |= 0x04;
        ++stats_.files;
        stats_.deleted += deleted;

        // Data: resident when small (as NTFS does), else 1-4 runs; the extension variant has more.
        const bool resident = !with_extension && r.chance(350);
        std::uint64_t size = 0;
        std::vector<run> runs;
        if (resident) {
            size = r.below(r.chance(300) ? 40 : 480);
        } else {
            const unsigned bits = static_cast<unsigned>(r.range(10, 32));
            size = r.range(1ull << (bits - 1), (1ull << bits) - 1);
            runs = random_runs(r, (size + cluster - 1) / cluster, 4, true);
        }
        const std::uint64_t alloc = resident ? align8(size) : (size + cluster - 1) / cluster * cluster;
        const std::uint64_t fn_size = r.chance(200) ? 0 : size;  // names often lag behind the stream size

        const std::uint16_t flags = deleted ? 0 : in_use;
        b_.add_resident(0x10, {}, standard_information(t, attributes, r));
        if (with_extension) {
            ++stats_.with_list;
            // The list names every attribute; $DATA lives in the next record.
            const std::uint64_t ext = entry + 1;
            bytes list;
            auto list_entry = [&](std::uint32_t type, std::uint64_t holder, std::uint16_t id) {
                append32(list, type);
                append16(list, 0x20);
                list.push_back(0);
                list.push_back(0x1A);
                append64(list, 0);
                append64(list, holder);
                append16(list, id);
                list.insert(list.end(), 6, 0);
            };
            // Ids follow the order of adding: $STANDARD_INFORMATION 0, the list 1, the names 2...
            list_entry(0x10, ref_of(entry), 0);
            for (std::uint16_t i = 0; i < names.size(); ++i) list_entry(0x30, ref_of(entry), static_cast<std::uint16_t>(2 + i));
            list_entry(0x80, ref_of(ext), 0);
            b_.add_resident(0x20, {}, list);
            add_names(names, ref_of(parent.entry), fn_times, alloc, fn_size, attributes);

            record_builder eb;
            eb.reset();
            eb.add_non_resident(0x80, {}, runs, size, 0, runs.size() > 2 && runs[1].sparse ? 0x8000 : 0);
            std::memcpy(pending_.data(), eb.finish(ext, sequence_of(seed_, ext), flags, 0, ref_of(entry), lsn_ + 1,
                                                   usn(r)),
                        record_size);
            has_pending_ = true;
            ++stats_.non_resident;
        } else {
            add_names(names, ref_of(parent.entry), fn_times, alloc, fn_size, attributes);
            if (resident) {
                bytes content(size);
                for (std::size_t i = 0; i < content.size(); ++i)
                    content[i] = static_cast<std::uint8_t>(0x20 + (r.next() % 95));
                if (size >= 4 && name.ext == u".exe") std::memcpy(content.data(), "MZ\x90\0", 4);
                if (size >= 4 && name.ext == u".pdf") std::memcpy(content.data(), "%PDF", 4);
                if (!b_.add_resident(0x80, {}, content)) b_.add_resident(0x80, {}, content.data(), b_.room() / 2);
                ++stats_.resident;
            } else {
                const bool sparse = runs.size() > 2 && runs[1].sparse;
                b_.add_non_resident(0x80, {}, runs, size, 0, sparse ? 0x8000 : 0);
                ++stats_.non_resident;
            }
            if (r.chance(40)) {  // mostly the mark of the web
                static constexpr char zone[] = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.com/dl\r\n";
                static constexpr std::array<std::u16string_view, 4> other = {
                    u"SummaryInformation", u"encryptable", u"SmartScreen", u"com.apple.lastuseddate#PS"};
                if (r.chance(700))
                    b_.add_resident(0x80, u"Zone.Identifier", reinterpret_cast<const std::uint8_t*>(zone),
                                    sizeof zone - 1);
                else if (const std::u16string_view stream = r.pick(other); r.chance(500))
                    b_.add_resident(0x80, stream, bytes(r.below(2) * 8, 0x01));
                else {
                    const run one{1, r.range(0x1000, volume_clusters - 2), false};
                    b_.add_non_resident(0x80, stream, {one}, r.range(700, 4096));
                }
                ++stats_.ads;
            }
        }
        return b_.finish(entry, sequence_of(seed_, entry), flags, 1, 0, lsn_, usn(r));
    }

    std::uint64_t seed_, records_;
    plan plan_;
    record_builder b_;
    std::size_t dir_cursor_ = 0;
    std::uint64_t lsn_ = 0x100000;
    std::array<std::uint8_t, record_size> pending_{};
    bool has_pending_ = false;
    counters stats_;
};

bool parse_u64(const char* text, std::uint64_t& out) {
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text, &end, 0);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-') return false;
    out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t records = 0, seed = 1;
    if (argc < 3 || argc > 4 || !parse_u64(argv[2], records) || (argc == 4 && !parse_u64(argv[3], seed))) {
        std::fprintf(stderr, "usage: make_synthetic_mft <out> <records> [seed]\n");
        return 2;
    }
    if (records < 16 || records > (1ull << 32)) {
        std::fprintf(stderr, "make_synthetic_mft: records must be between 16 and 2^32\n");
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::fprintf(stderr, "make_synthetic_mft: cannot create %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    std::vector<char> io_buffer(4u << 20);
    std::setvbuf(out, io_buffer.data(), _IOFBF, io_buffer.size());

    mft_writer writer(seed, records, make_plan(seed, records));
    bool ok = true;
    for (std::uint64_t entry = 0; entry < records && ok; ++entry) {
        const std::uint8_t* rec = writer.build(entry);
        if (rec) ok = std::fwrite(rec, 1, record_size, out) == record_size;
        if (const std::uint8_t* ext = writer.pending_extension(); ext && ok) {
            ok = std::fwrite(ext, 1, record_size, out) == record_size;
            writer.clear_pending();
            ++entry;
        }
    }
    if (std::fclose(out) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "make_synthetic_mft: write to %s failed: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    const counters& s = writer.stats();
    std::fprintf(stderr,
                 "wrote %llu records (%llu bytes) to %s: %llu directories, %llu files (%llu deleted, %llu resident, "
                 "%llu non-resident, %llu with DOS names, %llu with ADS, %llu with attribute lists)\n",
                 static_cast<unsigned long long>(records), static_cast<unsigned long long>(records * record_size),
                 argv[1], static_cast<unsigned long long>(s.dirs), static_cast<unsigned long long>(s.files),
                 static_cast<unsigned long long>(s.deleted), static_cast<unsigned long long>(s.resident),
                 static_cast<unsigned long long>(s.non_resident), static_cast<unsigned long long>(s.dos_names),
                 static_cast<unsigned long long>(s.ads), static_cast<unsigned long long>(s.with_list));
    return 0;
}
