#include "support/uni_stream.h"

#include <gtest/gtest.h>

#include <string>

// Writes far past a discarding stream's buffer keep it good: a full area is rewound, a bulk write taken whole.
TEST(DiscardingStreams, AcceptEverythingAndKeepNothing) {
    const std::string block(3 * uni::nullbuf::area_bytes + 5, 'x');
    uni::nullstream buffered;
    buffered << block << 'y';
    buffered.write(block.data(), static_cast<std::streamsize>(block.size()));
    EXPECT_TRUE(buffered.good());
    EXPECT_LT(buffered.buffer().pending(), uni::nullbuf::area_bytes);
    skelvar::null_out_stream unbuffered;
    unbuffered << block << 'y';
    unbuffered.flush();
    EXPECT_TRUE(unbuffered.good());
}
