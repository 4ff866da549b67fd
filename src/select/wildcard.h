// Name patterns of -filter_wildcard: "?" is exactly one character and "*" any
// run of characters (none included); everything else is literal. The pattern
// is searched for anywhere in a name, so it need not cover the whole name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace skelvar {

class wildcard_pattern {
public:
    // `pattern` is lower-cased here; names given to `found_in` must be lower case too.
    explicit wildcard_pattern(std::u16string_view pattern);

    bool found_in(std::u16string_view name) const;
    const std::u16string& text() const { return text_; }

private:
    // A literal run with the number of "?" positions that precede it.
    struct run {
        std::size_t gap = 0;
        std::u16string literal;
    };
    // Runs with no "*" between them; `tail_gap` counts the "?" after the last run.
    struct piece {
        std::vector<run> runs;
        std::size_t tail_gap = 0;
        std::size_t length() const;
    };

    // The first position >= `from` where `p` fits; npos when none.
    static std::size_t find_piece(const piece& p, std::u16string_view name, std::size_t from);

    std::u16string text_;
    std::vector<piece> pieces_;
};

}  // namespace skelvar
