// The ntfs layer's parts over records held in memory: reader, decoding, paths.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/record_builder.h"
#include "ntfs/entry_reader.h"
#include "ntfs/memory_mft_source.h"
#include "ntfs/mft_reader.h"
#include "ntfs/mft_walk.h"
#include "ntfs/path_resolver.h"
#include "support/diag_log.h"

namespace testing_support {

struct mft_fixture {
    skelvar::diag_log log;
    skelvar::mft_reader records{log};
    skelvar::decode_settings decode;
    skelvar::entry_reader entries{records, decode};
    skelvar::path_resolver paths{entries};

    mft_fixture() = default;

    // Records 0..n of an extracted $MFT (see mft_image: an empty record 0 is made for them).
    explicit mft_fixture(std::vector<std::vector<std::uint8_t>> recs, std::uint32_t size = 1024) {
        records.attach(std::make_unique<skelvar::memory_mft_source>(mft_image(std::move(recs), size)));
    }

    skelvar::mft_entry_info parse(std::uint64_t n, bool keep_content = false) {
        skelvar::mft_entry_info e;
        entries.read_and_parse(n, e, keep_content);
        return e;
    }

    // The range walk over every entry, each handed to `take`; the walk's status.
    skelvar::status walk_all(const std::function<void(skelvar::mft_entry_info&)>& take) {
        struct every final : skelvar::entry_visitor {
            const std::function<void(skelvar::mft_entry_info&)>& take;
            explicit every(const std::function<void(skelvar::mft_entry_info&)>& t) : take(t) {}
            skelvar::preselection preselect(std::uint64_t, bool, skelvar::mft_entry_info&) override {
                return skelvar::preselection::keep;
            }
            bool select(skelvar::mft_entry_info&, bool) override { return true; }
            void write(skelvar::mft_entry_info& e) override { take(e); }
        } visitor(take);
        skelvar::walk_settings settings;
        settings.show_progress = false;
        return skelvar::mft_walk(entries, paths, settings, visitor).walk_range();
    }

    // Every entry the range walk reads, by number, with the name it is shown by.
    std::map<std::uint64_t, std::u16string> walk_names() {
        std::map<std::uint64_t, std::u16string> names;
        walk_all([&](skelvar::mft_entry_info& e) {
            names[e.entry_number] = e.file_names.empty() ? u"" : e.file_names.begin()->second.name;
        });
        return names;
    }
};

}  // namespace testing_support
