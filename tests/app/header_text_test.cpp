#include "app/header_text.h"

#include <gtest/gtest.h>

namespace skelvar {
namespace {

constexpr std::uint64_t y2k = 125911584000000000ull;

TEST(HeaderText, BannerCommandLineAndClosingEmptyLine) {
    std::string h = compose_header({"/opt/bin/skelvar", "-mftfile", "my mft.bin"}, y2k);
    EXPECT_EQ(h.rfind("skelvar ver: 0.95 [", 0), 0u) << h;
    EXPECT_NE(h.find("skelvar -mftfile \"my mft.bin\"\n\n"), std::string::npos) << h;
    EXPECT_EQ(h.find("/opt/bin"), std::string::npos);
    // One block: the first empty line is its end.
    EXPECT_EQ(h.find("\n\n"), h.size() - 2);
}

TEST(HeaderText, PipePrefixAndNoEarlyEmptyLine) {
    std::string h = compose_header({"skelvar", "-pipe", "-hostname", "a\n\nb"}, y2k);
    EXPECT_NE(h.find("<filelist> ... | skelvar -pipe"), std::string::npos) << h;
    EXPECT_EQ(h.find("\n\n"), h.size() - 2);
}

}  // namespace
}  // namespace skelvar
