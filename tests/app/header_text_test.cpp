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

TEST(HeaderText, ExecutableBaseName) {
    for (const auto& [argv0, want] : {std::pair{"/opt/bin/skelvar", "skelvar"}, {"C:\\tools\\mft.v2.exe", "mft.v2"},
                                      {"./.hidden", ".hidden"}, {"", "skelvar"}, {"dir/", "skelvar"}})
        EXPECT_EQ(executable_base_name(argv0), want) << argv0;
}

}  // namespace
}  // namespace skelvar
