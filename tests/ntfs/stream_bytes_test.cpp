#include "ntfs/stream_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

using namespace skelvar;
using bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::uint64_t cs = 512;

// Cluster n holds the byte n (clusters 0..63); some can be made unreadable.
class test_volume final : public cluster_reader {
public:
    std::set<std::uint64_t> bad, read;
    std::vector<bytes> clusters = std::vector<bytes>(64);
    test_volume() {
        for (std::size_t n = 0; n < clusters.size(); ++n) clusters[n].assign(cs, static_cast<std::uint8_t>(n));
    }
    bool read_clusters(std::uint64_t lcn, std::uint64_t count, std::span<std::uint8_t> out) override {
        if (out.size() != count * cs) return false;
        for (std::uint64_t i = 0; i < count; ++i) {
            if (lcn + i >= clusters.size() || bad.count(lcn + i)) return false;
            read.insert(lcn + i);
            std::memcpy(out.data() + i * cs, clusters[lcn + i].data(), cs);
        }
        return true;
    }
};

struct produced {
    bytes data;
    stream_bytes_result result;
};

produced produce(test_volume& v, const std::vector<compact_run>& runs, std::uint64_t data, std::uint64_t init,
                 std::uint64_t alloc, std::uint64_t unit, stream_bytes_options o = {}) {
    stream_geometry g{runs, cs, data, init, alloc, unit};
    produced p;
    p.result = produce_stream_bytes(v, g, o, [&](std::span<const std::uint8_t> b) {
        p.data.insert(p.data.end(), b.begin(), b.end());
        return true;
    });
    return p;
}

// Expected bytes: one value per cluster (0 for a hole), cut to `length`.
bytes clusters_of(std::initializer_list<std::uint8_t> values, std::size_t length) {
    bytes b;
    for (std::uint8_t v : values) b.insert(b.end(), cs, v);
    b.resize(length);
    return b;
}

// compact_run fields: lcn, vcn, sparse, count.
const std::vector<compact_run> runs_with_hole = {{20, 0, 0, 2}, {0, 2, 1, 2}, {30, 4, 0, 3}};

}  // namespace

// The real-data cases are in ExtractOracle (the copies against icat); these pin what digests cannot show.
TEST(StreamBytes, PastTheInitializedSizeNothingIsReadUnlessRaw) {
    test_volume v;
    auto p = produce(v, runs_with_hole, 6 * cs + 256, 4 * cs + 100, 7 * cs, 0);
    bytes expected = clusters_of({20, 21, 0, 0, 30, 0, 0}, 6 * cs + 256);
    std::fill(expected.begin() + 4 * cs + 100, expected.end(), 0);
    EXPECT_EQ(p.data, expected);
    EXPECT_EQ(v.read, (std::set<std::uint64_t>{20, 21, 30}));
    EXPECT_EQ(p.result.sparse_bytes, 2 * cs);

    // Raw: the allocated size, every cluster as stored (slack and past-initialized bytes too).
    p = produce(v, runs_with_hole, 6 * cs + 256, 4 * cs + 100, 7 * cs, 0, {.raw = true});
    EXPECT_EQ(p.data, clusters_of({20, 21, 0, 0, 30, 31, 32}, 7 * cs));
}

TEST(StreamBytes, ShortOrHostileRunListsEndWithAStatus) {
    test_volume v;
    v.bad = {31};
    struct bad_case {
        const char* what;
        std::vector<compact_run> runs;
        std::uint64_t unit;
        stream_bytes_status status;
        std::uint64_t written;
    };
    const std::vector<bad_case> cases = {
        {"maps less than the data", {{20, 0, 0, 2}}, 0, stream_bytes_status::unmapped, 2 * cs},
        {"gap between runs", {{20, 0, 0, 1}, {30, 2, 0, 2}}, 0, stream_bytes_status::unmapped, cs},
        {"unreadable cluster", {{30, 0, 0, 3}}, 0, stream_bytes_status::unreadable, cs},
        {"LCN past the volume", {{~0ull - 1, 0, 0, 3}}, 0, stream_bytes_status::unreadable, 0},
        {"absurd compression unit", {{20, 0, 0, 3}}, compression_unit_clusters(40), stream_bytes_status::bad_geometry,
         0},
    };
    for (const auto& c : cases) {
        const produced p = produce(v, c.runs, 3 * cs, 3 * cs, 3 * cs, c.unit);
        EXPECT_EQ(p.result.status, c.status) << c.what;
        EXPECT_EQ(p.result.written, c.written) << c.what;
        EXPECT_EQ(p.data.size(), c.written) << c.what;
        EXPECT_FALSE(p.result.message.empty()) << c.what;
    }
}

TEST(StreamBytes, CompressedUnitsStoredExpandedAndSparse) {
    test_volume v;
    // Cluster 40 holds an LZNT1 chunk: "ab" and a copy of 7 bytes 2 back.
    v.clusters[40] = {0x04, 0xB0, 0x04, 'a', 'b', 0x04, 0x10};
    v.clusters[40].resize(cs);
    // Unit 0 fully allocated (stored plain), unit 1 one cluster + 15 sparse
    // (compressed), unit 2 wholly sparse, then 100 bytes of unit 3 (stored).
    const std::vector<compact_run> runs = {{0, 0, 0, 16}, {40, 16, 0, 1}, {0, 17, 1, 31}, {2, 48, 0, 16}};
    const std::uint64_t unit = 16 * cs, length = 3 * unit + 100;
    auto p = produce(v, runs, length, length, 4 * unit, 16);
    EXPECT_EQ(p.result.status, stream_bytes_status::complete);
    ASSERT_EQ(p.data.size(), length);
    EXPECT_EQ(p.data[cs + 1], 1);  // unit 0 as stored
    EXPECT_EQ(std::string(p.data.begin() + unit, p.data.begin() + unit + 10), std::string("ababababa\0", 10));
    EXPECT_EQ(p.result.sparse_bytes, unit);  // only the wholly sparse unit counts as sparse
    EXPECT_EQ(p.data[3 * unit + 99], 2);     // unit 3 as stored

    // Skipping sparse ranges drops the sparse unit, never a compressed one's tail.
    p = produce(v, runs, length, length, 4 * unit, 16, {.skip_sparse = true});
    EXPECT_EQ(p.data.size(), length - unit);

    // Raw: the clusters as stored, chunk header included.
    p = produce(v, runs, length, length, 4 * unit, 16, {.raw = true});
    ASSERT_EQ(p.data.size(), 4 * unit);
    EXPECT_EQ(p.data[unit + 1], 0xB0);

    // A damaged chunk: every byte still comes, the status says what happened.
    v.clusters[40][6] = 0x20;  // the token now reaches 3 back, before the chunk
    p = produce(v, runs, length, length, 4 * unit, 16);
    EXPECT_EQ(p.result.status, stream_bytes_status::damaged);
    EXPECT_EQ(p.result.stopped_at, unit);
    EXPECT_EQ(p.data.size(), length);
}

TEST(StreamBytes, LargeStreamsMoveInBoundedPiecesWithProgress) {
    test_volume v;
    // 64 MiB sparse, then one real cluster; the sink refuses that last piece.
    const std::vector<compact_run> runs = {{0, 0, 1, 1u << 17}, {5, 1u << 17, 0, 1}};
    const std::uint64_t length = ((1u << 17) + 1) * cs;
    std::size_t largest = 0, calls = 0;
    std::uint64_t seen = 0, last = 0;
    const auto r = produce_stream_bytes(
        v, {runs, cs, length, length, length, 0}, {},
        [&](std::span<const std::uint8_t> b) {
            largest = std::max(largest, b.size());
            return (seen += b.size()) < length;
        },
        [&](std::uint64_t done, std::uint64_t total) {
            EXPECT_TRUE(done > last && total == length);
            last = done;
            ++calls;
        });
    EXPECT_LE(largest, std::size_t{1} << 20);
    EXPECT_GE(calls, 64u);
    EXPECT_EQ(r.status, stream_bytes_status::sink_refused);
    EXPECT_EQ(r.written, length - cs);
}
