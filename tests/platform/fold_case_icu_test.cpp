// The code page 932 case folding checked against ICU's Unicode lower case.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <unicode/uchar.h>
#include <unicode/ucnv.h>

namespace {

// icu_lower lower-cases one code page 932 character through Unicode; the
// code itself when it does not convert both ways.
unsigned icu_lower(UConverter* cnv, unsigned code) {
    const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xff)};
    UChar unit[4];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n = ucnv_toUChars(cnv, unit, 4, bytes, 2, &status);
    if (U_FAILURE(status) || n != 1 || unit[0] == 0x1a || unit[0] == 0xfffd) {
        return code;
    }
    const UChar lower = static_cast<UChar>(u_tolower(unit[0]));
    char back[4];
    status = U_ZERO_ERROR;
    const int32_t m = ucnv_fromUChars(cnv, back, 4, &lower, 1, &status);
    if (U_FAILURE(status) || m != 2) {
        return code;
    }
    return static_cast<unsigned char>(back[0]) * 256u + static_cast<unsigned char>(back[1]);
}

// In the rows of the Latin, Greek and Cyrillic letters, fold_case is the
// Unicode lower case of each character, and nothing else changes.
TEST(FoldCase, AgreesWithUnicodeInTheLetterRows) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open("windows-932", &status);
    ASSERT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    int capitals = 0;
    for (unsigned lead = 0x82; lead <= 0x84; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xfc; ++trail) {
            if (trail == 0x7f) {
                continue;
            }
            const unsigned code = lead * 256 + trail;
            const unsigned lower = icu_lower(cnv, code);
            EXPECT_EQ(platform::fold_case(code), lower) << std::hex << code;
            capitals += lower != code;
        }
    }
    EXPECT_EQ(capitals, 26 + 24 + 33);
    for (unsigned c = 0; c < 0x80; ++c) {
        EXPECT_EQ(platform::fold_case(c), static_cast<unsigned>(u_tolower(c))) << c;
    }
    ucnv_close(cnv);
}

} // namespace
