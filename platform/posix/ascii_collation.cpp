// The primary weights of the ASCII characters in ICU 72's Japanese and root
// collations, as ucol_getSortKey writes them at primary strength, and the
// further levels of an identical-strength key of printable ASCII text.
#include "platform/posix/ascii_collation.h"

#include "platform/common/ascii.h"

#include <cstdint>

namespace platform::ascii_collation {

namespace {

// Weight is the key bytes of one character: none for the controls (they
// are ignorable), one or two otherwise.
struct Weight {
    std::uint8_t length;
    std::uint8_t bytes[2];
};

constexpr Weight w() {
    return {0, {0, 0}};
}
constexpr Weight w(std::uint8_t a) {
    return {1, {a, 0}};
}
constexpr Weight w(std::uint8_t a, std::uint8_t b) {
    return {2, {a, b}};
}

constexpr Weight kWeights[128] = {
    w(),           w(),           w(),           w(),           // 00-03
    w(),           w(),           w(),           w(),           // 04-07
    w(),           w(0x03, 0x04), w(0x03, 0x06), w(0x03, 0x08), // 08-0B: tab, line feed, ...
    w(0x03, 0x0a), w(0x03, 0x0c), w(),           w(),           // 0C-0F
    w(),           w(),           w(),           w(),           // 10-13
    w(),           w(),           w(),           w(),           // 14-17
    w(),           w(),           w(),           w(),           // 18-1B
    w(),           w(),           w(),           w(),           // 1C-1F
    w(0x04),       w(0x07, 0x5a), w(0x09, 0x7c), w(0x0a, 0xaa), // space ! " #
    w(0x0d, 0x90), w(0x0a, 0xac), w(0x0a, 0xa4), w(0x09, 0x6e), // $ % & '
    w(0x09, 0x92), w(0x09, 0x94), w(0x0a, 0x94), w(0x0c, 0x7a), // ( ) * +
    w(0x06),       w(0x05, 0x0e), w(0x08),       w(0x0a, 0x9e), // , - . /
    w(0x13),       w(0x15),       w(0x17),       w(0x19),       // 0-3
    w(0x1b),       w(0x1d),       w(0x1f),       w(0x21),       // 4-7
    w(0x23),       w(0x25),       w(0x07, 0x36), w(0x07, 0x2a), // 8 9 : ;
    w(0x0c, 0x82), w(0x0c, 0x84), w(0x0c, 0x86), w(0x07, 0x64), // < = > ?
    w(0x0a, 0x92), w(0x2a),       w(0x2c),       w(0x2e),       // @ A B C
    w(0x30),       w(0x32),       w(0x34),       w(0x36),       // D-G
    w(0x38),       w(0x3a),       w(0x3c),       w(0x3e),       // H-K
    w(0x40),       w(0x42),       w(0x44),       w(0x46),       // L-O
    w(0x48),       w(0x4a),       w(0x4c),       w(0x4e),       // P-S
    w(0x50),       w(0x52),       w(0x54),       w(0x56),       // T-W
    w(0x58),       w(0x5a),       w(0x5c),       w(0x09, 0x96), // X Y Z [
    w(0x0a, 0xa0), w(0x09, 0x98), w(0x0c, 0x0a), w(0x05, 0x0a), // \ ] ^ _
    w(0x0c, 0x04), w(0x2a),       w(0x2c),       w(0x2e),       // ` a b c
    w(0x30),       w(0x32),       w(0x34),       w(0x36),       // d-g
    w(0x38),       w(0x3a),       w(0x3c),       w(0x3e),       // h-k
    w(0x40),       w(0x42),       w(0x44),       w(0x46),       // l-o
    w(0x48),       w(0x4a),       w(0x4c),       w(0x4e),       // p-s
    w(0x50),       w(0x52),       w(0x54),       w(0x56),       // t-w
    w(0x58),       w(0x5a),       w(0x5c),       w(0x09, 0x9a), // x y z {
    w(0x0c, 0x8a), w(0x09, 0x9c), w(0x0c, 0x8e), w(),           // | } ~ DEL
};

// The level separator of a sort key.
constexpr char kLevelSeparator = 0x01;

// A run of common weights at the end of a level is written as counts: the
// low byte plus the run length less one, after one "middle" byte for every
// full `maxCount` of the run. Secondary and tertiary levels differ only in
// their middle byte and count.
constexpr std::uint8_t kCommonLow = 0x05;
constexpr std::uint8_t kSecondaryMiddle = 0x25;
constexpr std::size_t kSecondaryMaxCount = 0x21;
constexpr std::uint8_t kTertiaryMiddle = 0x65;
constexpr std::size_t kTertiaryMaxCount = 0x61;

void append_common_run(std::string& out, std::size_t count, std::uint8_t middle,
                       std::size_t maxCount) {
    if (count == 0)
        return;
    --count;
    if (count >= maxCount) {
        out.append(count / maxCount, static_cast<char>(middle));
        count %= maxCount;
    }
    out += static_cast<char>(kCommonLow + count);
}

// The identical level writes each code point as its distance from the middle
// (0x50) of the previous one's 128-code block, one byte 0x81 + distance when
// it is within 80: every ASCII character after an ASCII character.
constexpr int kIdenticalByteOffset = 0x81 - 0x50;

} // namespace

bool applies(std::string_view locale) {
    for (const std::string_view name : kLocales) {
        if (locale == name)
            return true;
    }
    return false;
}

void append_key(std::string& out, std::string_view text, const char16_t (&unitOf)[128]) {
    // At most two bytes a character, written in pieces of a small buffer:
    // a key that fits the string's own storage needs no allocation.
    char buffer[128];
    std::size_t n = 0;
    for (const char c : text) {
        const Weight& weight = kWeights[unitOf[static_cast<unsigned char>(c) & 0x7F] & 0x7F];
        buffer[n] = static_cast<char>(weight.bytes[0]);
        buffer[n + 1] = static_cast<char>(weight.bytes[1]);
        n += weight.length;
        if (n > sizeof buffer - 2) {
            out.append(buffer, n);
            n = 0;
        }
    }
    out.append(buffer, n);
}

bool is_printable(std::string_view text) {
    for (const char c : text) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

void append_no_case_key(std::string& out, std::string_view text) {
    // Printable characters are their own units in every character set of the
    // text layer, and the primary weight of a letter is that of its small form.
    static constexpr struct Identity {
        char16_t units[128] = {};
        constexpr Identity() {
            for (int i = 0; i < 128; ++i)
                units[i] = static_cast<char16_t>(i);
        }
    } identity;
    out.reserve(out.size() + 4 * text.size() + 8);
    append_key(out, text, identity.units);
    out += kLevelSeparator;
    append_common_run(out, text.size(), kSecondaryMiddle, kSecondaryMaxCount);
    out += kLevelSeparator;
    append_common_run(out, text.size(), kTertiaryMiddle, kTertiaryMaxCount);
    // The quaternary level is empty: no character is variable.
    out += kLevelSeparator;
    out += kLevelSeparator;
    for (const char c : text)
        out += static_cast<char>(ascii::lower(c) + kIdenticalByteOffset);
}

} // namespace platform::ascii_collation
