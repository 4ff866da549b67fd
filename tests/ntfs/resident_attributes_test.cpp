// The resident attribute readers on values taken from real volumes.
#include <gtest/gtest.h>

#include "common/test_support.h"
#include "ntfs/file_name_attribute.h"
#include "ntfs/file_record.h"
#include "ntfs/ntfs_types.h"
#include "ntfs/object_id.h"
#include "ntfs/reparse_point.h"
#include "ntfs/standard_information.h"
#include "ntfs/volume_attributes.h"

using namespace skelvar;
using testing_support::shared_sample;

TEST(ResidentAttributes, StandardInformation) {
    const auto v = shared_sample("standard_information.bin");
    SKIP_WITHOUT_SAMPLE(!v.empty(), "standard_information.bin");
    const standard_info si = read_standard_information(kavo::binary_data(v));
    EXPECT_EQ(si.created, 0x1c486c7a0d023e0u);
    EXPECT_EQ(si.modified, 0x1c486c7a0d1ab10u);
    EXPECT_EQ(si.mft_changed, 0x1c486c7fbcb13c0u);
    EXPECT_EQ(si.accessed, 0x1c48b7eecb7ddf0u);
    EXPECT_EQ(si.file_attributes, 0x20u);
    EXPECT_EQ(si.security_id, 324u);
    EXPECT_FALSE(si.is_null);
    // The 48-byte form of older volumes: the ids and the USN read as 0, the times stay.
    const standard_info old = read_standard_information(kavo::binary_data(std::span(v).first(48)));
    EXPECT_EQ(old.created, si.created);
    EXPECT_EQ(old.security_id, 0u);
    EXPECT_EQ(read_standard_information(kavo::binary_data(std::span(v).first(8))).note, "null");
}

TEST(ResidentAttributes, FileName) {
    const auto v = shared_sample("file_name.bin");
    SKIP_WITHOUT_SAMPLE(!v.empty(), "file_name.bin");
    file_name_info fn;
    ASSERT_TRUE(read_file_name(kavo::binary_data(v), 0, fn));
    EXPECT_EQ(fn.parent_ref, 0x0d48000000000d48u);
    EXPECT_EQ(fn.name, u"sseriffr.fon");
    EXPECT_EQ(fn.name_space, ns_win32_dos);
    EXPECT_EQ(fn.flags, 0x20u);
    EXPECT_EQ(fn.allocated_size, 98304u);
    EXPECT_EQ(fn.real_size, 98256u);
    EXPECT_EQ(fn.created, 0x1c4860e1c28b5d0u);
    EXPECT_FALSE(fn.anomaly);
    // A reference time before the creation marks the times "future"; a short value is no name.
    file_name_info early;
    ASSERT_TRUE(read_file_name(kavo::binary_data(v), 0x1c12bfd6d169000u, early));
    EXPECT_EQ(early.note, "future");
    EXPECT_FALSE(read_file_name(kavo::binary_data(std::span(v).first(0x41)), 0, early));
    // A name length past the value: the name is not read.
    auto cut = v;
    cut[0x40] = 200;
    ASSERT_TRUE(read_file_name(kavo::binary_data(cut), 0, early));
    EXPECT_TRUE(early.name.empty());
}

TEST(ResidentAttributes, ObjectId) {
    const auto v = shared_sample("object_id.bin");
    SKIP_WITHOUT_SAMPLE(!v.empty(), "object_id.bin");
    EXPECT_EQ(read_object_id(kavo::binary_data(v)).text, "53d29f0e-f2ba-11d8-b0f9-0010a4933e09");
}

TEST(ResidentAttributes, RelativeSymbolicLinkOfARealRecord) {
    auto rec = shared_sample("rp.bin");
    SKIP_WITHOUT_SAMPLE(!rec.empty(), "rp.bin");
    ASSERT_EQ(validate_and_fixup(rec), record_status::ok);
    // $REPARSE_POINT is the fourth attribute; its value starts 0x18 into it.
    const std::size_t at = 0x38 + 96 + 112 + 24 + 0x18;
    reparse_info rp;
    ASSERT_TRUE(read_reparse_point(kavo::binary_data(std::span(rec).subspan(at, 60)), rp));
    EXPECT_EQ(rp.tag, reparse_tag_symlink);
    EXPECT_EQ(rp.target, u"target.txt");
    EXPECT_TRUE(rp.redirects());
    EXPECT_TRUE(rp.relative());
    EXPECT_FALSE(read_reparse_point(kavo::binary_data(std::span(rec).subspan(at, 16)), rp));
}

TEST(ResidentAttributes, VolumeInformationVersions) {
    struct version_case {
        std::uint8_t major, minor;
        const char* text;
    };
    for (const version_case& c : {version_case{3, 1, "ver: 3.1 (WinXP)"}, version_case{2, 0, "ver: 2.0(Unk version)"}}) {
        std::vector<std::uint8_t> v(12, 0);
        v[8] = c.major;
        v[9] = c.minor;
        auto vi = read_volume_information(kavo::binary_data(v));
        ASSERT_TRUE(vi);
        EXPECT_EQ(vi->text, c.text);
    }
    EXPECT_FALSE(read_volume_information(kavo::binary_data(std::vector<std::uint8_t>(9, 3))));
}
