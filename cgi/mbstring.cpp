// Character-wise comparisons of Shift_JIS byte strings, built on the
// platform's character boundaries and case folding.
#include "cgi/mbstring.h"

#include "platform/common/ascii.h"
#include "platform/text.h"

#include <cstddef>
#include <string_view>

namespace {

// compare_codes walks both texts one character at a time and compares the
// character codes, folded to lower case when `fold` is set.
int compare_codes(std::string_view a, std::string_view b, bool fold) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        // A byte below 0x80 is a whole character in every code page the
        // system reads: compare it without asking the text layer.
        const auto byteA = static_cast<unsigned char>(a[i]);
        const auto byteB = static_cast<unsigned char>(b[j]);
        if (byteA < 0x80 && byteB < 0x80) {
            const unsigned foldedA = fold ? platform::ascii::lower(byteA) : byteA;
            const unsigned foldedB = fold ? platform::ascii::lower(byteB) : byteB;
            if (foldedA != foldedB)
                return foldedA < foldedB ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        std::size_t lengthA = 1;
        std::size_t lengthB = 1;
        unsigned codeA = platform::char_code(a, i, &lengthA);
        unsigned codeB = platform::char_code(b, j, &lengthB);
        if (fold) {
            codeA = platform::fold_case(codeA);
            codeB = platform::fold_case(codeB);
        }
        if (codeA != codeB) {
            return codeA < codeB ? -1 : 1;
        }
        // A length of 0 would never end the loop; count at least one byte.
        i += lengthA == 0 ? 1 : lengthA;
        j += lengthB == 0 ? 1 : lengthB;
    }
    if (i < a.size()) {
        return 1;
    }
    if (j < b.size()) {
        return -1;
    }
    return 0;
}

} // namespace

int compare_mb(std::string_view a, std::string_view b) {
    return compare_codes(a, b, false);
}

int compare_mb_no_case(std::string_view a, std::string_view b) {
    return compare_codes(a, b, true);
}
