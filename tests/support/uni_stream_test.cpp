#include "support/uni_stream.h"

#include <gtest/gtest.h>

#include "common/test_support.h"

namespace fs = std::filesystem;

TEST(UniStream, OfstreamWritesThroughItsBuffer) {
    const fs::path dir = testing_support::scratch_dir("unistream");
    const std::string path = (dir / "out.txt").string();
    std::string big;
    for (int i = 0; i < 300000; ++i) big += "line " + std::to_string(i) + "\n";  // several MiB
    {
        uni::ofstream out;
        out.open(path);
        ASSERT_TRUE(out.good());
        out << big;
    }
    EXPECT_EQ(testing_support::read_file(path), big);

    uni::ofstream(path) << "short\n";  // existing content replaced
    uni::ofstream more;
    more.open(path, std::ios::app);
    more << "more\n";
    more.close();
    EXPECT_EQ(testing_support::read_file(path), "short\nmore\n");
}

TEST(UniStream, Utf16PathsBecomeUtf8Names) {
    const fs::path dir = testing_support::scratch_dir("unistream");
    const std::u16string name = (dir / "").u16string() + u"\u00c4\U0001F600.bin";
    {
        uni::ofstream out(name);
        ASSERT_TRUE(out.good());
        out.write("\r\n\0x", 4);
    }
    const fs::path expected = dir / "\xC3\x84\xF0\x9F\x98\x80.bin";
    ASSERT_TRUE(fs::exists(expected));
    EXPECT_EQ(testing_support::read_file(expected), std::string("\r\n\0x", 4));

    uni::ofstream bad((dir / "no" / "such" / "f").string());
    EXPECT_FALSE(bad.good());
    bad.open((dir / "now-ok").string());  // a later open recovers the stream
    EXPECT_TRUE(bad.good());
}

TEST(UniStream, NullStreamsDiscard) {
    uni::nullstream ns;
    const std::string block(1000, 'x');
    for (int i = 0; i < 16; ++i) ns << block;
    EXPECT_EQ(ns.buffer().pending(), 16000u);
    ns << block;  // crosses the 16384-byte area: it is rewound, not grown
    EXPECT_TRUE(ns.good());
    EXPECT_LT(ns.buffer().pending(), 1000u);
    for (int i = 0; i < 1000; ++i) ns.put('y');
    EXPECT_TRUE(ns.good());
    EXPECT_LE(ns.buffer().pending(), uni::nullbuf::area_chars);

    skelvar::null_out_stream none;
    none << block << 42 << '\n';
    none.write(block.data(), static_cast<std::streamsize>(block.size()));
    EXPECT_TRUE(none.good());
}
