// Letter case of NTFS names without the volume's $UpCase table: ASCII plus the
// simple one-to-one mappings of the Latin, Greek, Cyrillic, Armenian and
// full-width blocks. Characters outside these (and surrogates) map to themselves.
#pragma once

#include <string>
#include <string_view>

namespace skelvar {

char16_t upcase_unit(char16_t c);
char16_t downcase_unit(char16_t c);

std::u16string upcase(std::u16string_view s);
std::u16string downcase(std::u16string_view s);

// Lower-cases in place (no allocation when the capacity suffices).
void downcase_into(std::u16string_view s, std::u16string& out);

// Equality as NTFS compares names: both sides upper-cased.
bool equal_ignoring_case(std::u16string_view a, std::u16string_view b);

}  // namespace skelvar
