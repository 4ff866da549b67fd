// SID, ACE and descriptor texts, on descriptors built byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "ntfs/security_descriptor.h"

using namespace skelvar;

namespace {

using bytes = std::vector<std::uint8_t>;

void put32(bytes& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bytes sid(std::uint64_t authority, std::initializer_list<std::uint32_t> subs, std::uint8_t revision = 1) {
    bytes b{revision, static_cast<std::uint8_t>(subs.size())};
    for (int i = 5; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(authority >> (8 * i)));
    for (std::uint32_t s : subs) put32(b, b.size(), s);
    return b;
}

bytes ace(std::uint8_t type, std::uint32_t mask, const bytes& who, std::uint8_t flags = 0) {
    bytes b{type, flags, 0, 0};
    put32(b, 4, mask);
    b.insert(b.end(), who.begin(), who.end());
    b[2] = static_cast<std::uint8_t>(b.size());
    b[3] = static_cast<std::uint8_t>(b.size() >> 8);
    return b;
}

bytes acl(std::initializer_list<bytes> aces) {
    bytes b{2, 0, 0, 0, static_cast<std::uint8_t>(aces.size()), 0, 0, 0};
    for (const bytes& a : aces) b.insert(b.end(), a.begin(), a.end());
    b[2] = static_cast<std::uint8_t>(b.size());
    b[3] = static_cast<std::uint8_t>(b.size() >> 8);
    return b;
}

// Header, then the parts in the order given; an empty part gets offset 0.
bytes descriptor(const bytes& owner, const bytes& group, const bytes& sacl, const bytes& dacl) {
    bytes b(0x14, 0);
    b[0] = 1;
    b[2] = 0x04;
    b[3] = 0x80;
    const bytes* parts[] = {&owner, &group, &sacl, &dacl};
    for (std::size_t i = 0; i < 4; ++i) {
        if (parts[i]->empty()) continue;
        put32(b, 4 + 4 * i, static_cast<std::uint32_t>(b.size()));
        b.insert(b.end(), parts[i]->begin(), parts[i]->end());
    }
    return b;
}

const bytes admins_sid = sid(5, {32, 544});
const bytes world_sid = sid(1, {0});

}  // namespace

TEST(RenderDescriptor, HostileDescriptorsStayInBounds) {
    // No owner, no group, an empty SACL and no DACL: the title line alone.
    EXPECT_EQ(render_descriptor(descriptor({}, {}, acl({}), {})), "  Security Identifiers\n");
    // Too short for the header, or a revision other than 1: nothing.
    EXPECT_EQ(render_descriptor(bytes(0x13, 0)), "");
    bytes rev2 = descriptor(admins_sid, {}, {}, {});
    rev2[0] = 2;
    EXPECT_EQ(render_descriptor(rev2), "");
    EXPECT_EQ(owner_sid_of(rev2), "");

    // Offsets past the end: empty SID texts, no ACEs.
    bytes wild = descriptor(admins_sid, admins_sid, {}, acl({ace(0, 0x10000000, world_sid)}));
    put32(wild, 4, 0xFFFFFFF0u);
    put32(wild, 8, static_cast<std::uint32_t>(wild.size() - 4));  // a SID cut by the end
    put32(wild, 16, 0x7FFFFFFFu);
    EXPECT_EQ(render_descriptor(wild), "  Security Identifiers\n  owner sid []\n  group sid []\n");

    // An ACL claiming more ACEs and bytes than it has; ACEs of size 0 or running past the list.
    bytes many = acl({ace(0, 0x00100000, world_sid)});
    many[2] = 0xFF;
    many[3] = 0xFF;
    many[4] = 0xFF;
    many[5] = 0xFF;
    bytes sd = descriptor({}, {}, {}, many);
    security_descriptor_info info;
    ASSERT_TRUE(parse_descriptor(sd, info));
    ASSERT_EQ(info.dacl.size(), 1u);
    EXPECT_EQ(info.dacl[0].mask, "SYNCHRONIZE");

    bytes long_ace = acl({ace(0, 0x00100000, world_sid)});
    long_ace[8 + 2] = 0x40;  // ACE runs past the list
    ASSERT_TRUE(parse_descriptor(descriptor({}, {}, {}, long_ace), info));
    EXPECT_TRUE(info.dacl.empty());
}
