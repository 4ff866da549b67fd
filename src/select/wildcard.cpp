#include "select/wildcard.h"

#include "ntfs/name_case.h"

namespace skelvar {

std::size_t wildcard_pattern::piece::length() const {
    std::size_t n = tail_gap;
    for (const run& r : runs) n += r.gap + r.literal.size();
    return n;
}

wildcard_pattern::wildcard_pattern(std::u16string_view pattern) : text_(downcase(pattern)) {
    piece current;
    run pending;
    auto close_run = [&] {
        if (!pending.literal.empty()) {
            current.runs.push_back(std::move(pending));
            pending = run{};
        }
    };
    for (char16_t c : text_) {
        if (c == u'*') {
            close_run();
            current.tail_gap = pending.gap;
            pending = run{};
            if (!current.runs.empty() || current.tail_gap) pieces_.push_back(std::move(current));
            current = piece{};
        } else if (c == u'?') {
            close_run();
            ++pending.gap;
        } else {
            pending.literal.push_back(c);
        }
    }
    close_run();
    current.tail_gap = pending.gap;
    if (!current.runs.empty() || current.tail_gap) pieces_.push_back(std::move(current));
}

std::size_t wildcard_pattern::find_piece(const piece& p, std::u16string_view name, std::size_t from) {
    const std::size_t need = p.length();
    if (name.size() < need) return std::u16string_view::npos;
    for (std::size_t start = from; start + need <= name.size(); ++start) {
        std::size_t pos = start;
        bool fits = true;
        for (const run& r : p.runs) {
            pos += r.gap;
            if (name.compare(pos, r.literal.size(), r.literal) != 0) {
                fits = false;
                break;
            }
            pos += r.literal.size();
        }
        if (fits) return start;
    }
    return std::u16string_view::npos;
}

bool wildcard_pattern::found_in(std::u16string_view name) const {
    // Each piece is placed at its leftmost fit after the previous one: if any
    // placement exists, this one does.
    std::size_t from = 0;
    for (const piece& p : pieces_) {
        const std::size_t at = find_piece(p, name, from);
        if (at == std::u16string_view::npos) return false;
        from = at + p.length();
    }
    return true;
}

}  // namespace skelvar
