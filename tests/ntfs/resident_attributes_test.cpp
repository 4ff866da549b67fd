// The resident attribute readers on values taken from real volumes: their short and older forms (the
// fields themselves are compared with istat and fls in the oracle tests).
#include <gtest/gtest.h>

#include "common/test_support.h"
#include "ntfs/file_name_attribute.h"
#include "ntfs/object_id.h"
#include "ntfs/standard_information.h"
#include "ntfs/volume_attributes.h"

using namespace skelvar;
using testing_support::shared_sample;

TEST(ResidentAttributes, StandardInformation) {
    const auto v = shared_sample("standard_information.bin");
    SKIP_WITHOUT_SAMPLE(!v.empty(), "standard_information.bin");
    const standard_info si = read_standard_information(kavo::binary_data(v));
    // The 48-byte form of older volumes: the ids and the USN read as 0, the times stay.
    const standard_info old = read_standard_information(kavo::binary_data(std::span(v).first(48)));
    EXPECT_EQ(old.created, si.created);
    EXPECT_NE(si.security_id, 0u);
    EXPECT_EQ(old.security_id, 0u);
    EXPECT_EQ(read_standard_information(kavo::binary_data(std::span(v).first(8))).note, "null");
}

TEST(ResidentAttributes, FileName) {
    const auto v = shared_sample("file_name.bin");
    SKIP_WITHOUT_SAMPLE(!v.empty(), "file_name.bin");
    file_name_info fn;
    ASSERT_TRUE(read_file_name(kavo::binary_data(v), 0, fn));
    EXPECT_EQ(fn.name, u"sseriffr.fon");
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

TEST(ResidentAttributes, VolumeInformationTooShort) {
    EXPECT_FALSE(read_volume_information(kavo::binary_data(std::vector<std::uint8_t>(9, 3))));
}
