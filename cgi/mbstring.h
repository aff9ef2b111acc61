// Character-wise comparisons of Shift_JIS byte strings.
#pragma once

#include <string_view>

// compare_mb compares two texts character by character: a single-byte
// character by its byte value, a double-byte one as lead * 256 + trail; the
// first differing character decides, a text that ends first is smaller.
// Returns a negative, zero or positive value.
int compare_mb(std::string_view a, std::string_view b);

// compare_mb_no_case is compare_mb on the lower-case form of each character
// (platform::fold_case): the no-case key order of the settings store and of
// the ignore lists.
int compare_mb_no_case(std::string_view a, std::string_view b);

// NoCaseLess orders texts by compare_mb_no_case, for ordered containers.
struct NoCaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        return compare_mb_no_case(a, b) < 0;
    }
};
