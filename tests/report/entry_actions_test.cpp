// Header bytes and strings, Zone.Identifier texts and the owner SID, on entries
// built in memory (no volume: what clusters hold is the integration tests' part).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/entry_actions.h"
#include "report/header_bytes.h"
#include "report/result_record.h"
#include "report/stream_info.h"
#include "report/zone_info.h"
#include "report_fixtures.h"

using namespace skelvar;
using namespace report_fixtures;

namespace {

using bytes = std::vector<std::uint8_t>;

bytes ascii(std::string_view s) { return bytes(s.begin(), s.end()); }

bytes utf16(std::string_view s) {
    bytes b;
    for (char c : s) {
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(0);
    }
    return b;
}

bytes cat(std::initializer_list<bytes> parts) {
    bytes out;
    for (const bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string strings_of(const bytes& b) { return header_text(b, true, "; "); }

// A resident row whose value is `value` (kept as the decoder keeps it for descriptors and zones).
catalogue_row& resident(mft_entry_info& e, std::uint32_t type, std::uint16_t id, const bytes& value,
                        std::u16string name = u"") {
    catalogue_row& row = type == at_data ? add_data(e, id, std::move(name), value.size())
                                         : e.catalogue[make_attr_key(type, id)];
    row.type = type;
    row.value = value;
    row.value_length = static_cast<std::uint32_t>(value.size());
    return row;
}

// Owner S-1-5-32-544, no group, no lists.
const bytes admins_descriptor = {1, 0, 4, 0x80, 0x14, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0,  0, 0,
                                 1, 2, 0, 0,    0,    0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};

}  // namespace

TEST(HeaderText, StringsOfFiveCharactersInOffsetOrder) {
    const std::pair<bytes, std::string> cases[] = {
        {cat({ascii("abcd"), bytes{0}, ascii("efghi")}), "efghi"},
        // Leading blanks are not part of a string: five blanks, or blanks before four letters, are none.
        {cat({ascii("     "), bytes{1}, ascii("  wxyz"), bytes{0}}), ""},
        {cat({ascii("first"), bytes{0, 0}, utf16("second"), bytes{0, 0}, ascii("third"), bytes{0}}),
         "first; second; third"},
    };
    for (const auto& [in, want] : cases) EXPECT_EQ(strings_of(in), want);
    // UTF-16 text starting at an odd offset is found too; ASCII never reads as UTF-16.
    const auto found = find_header_strings(cat({bytes{0xee}, utf16("wide odd"), bytes{0, 0}}));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].offset, 1u);
    EXPECT_EQ(found[0].text, "wide odd");
}

TEST(EntryActions, OwnerSidFromTheRecordsOwnDescriptorOnce) {
    layout_ctx ctx;  // no source: the $Secure store is not available
    ctx.owner_sid = true;
    entry_actions actions(ctx.context());
    mft_entry_info e = file_entry(0x44);
    add_si(e, t0, t0, t0, t0);
    e.standard_infos.begin()->second.security_id = 0x102;  // not found without a store
    resident(e, at_security_descriptor, 3, admins_descriptor);
    actions.run(e);
    EXPECT_EQ(e.owner_sid, "S-1-5-32-544");
    std::string s;
    append_stream_info(e, ctx, s);
    EXPECT_EQ(s, "[security_id: 0x0102][owner_sid: S-1-5-32-544]");
    e.owner_sid.clear();
    actions.run(e);  // the actions ran for this entry already
    EXPECT_EQ(e.owner_sid, "");

    // With the action off nothing is looked up.
    layout_ctx off;
    mft_entry_info quiet = file_entry(0x46);
    resident(quiet, at_security_descriptor, 3, admins_descriptor);
    entry_actions(off.context()).run(quiet);
    EXPECT_EQ(quiet.owner_sid, "");
}
