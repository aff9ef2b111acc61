// fuzz_number: any bytes as a settings number. parse_unsigned and
// parse_signed agree with the C library's strtoull and strtoll read at 32 bits
// (white space, sign, "0x", octal, saturation on overflow) and never hit
// undefined behaviour on the way.
#include "fuzz/fuzz_check.h"
#include "runtime/number.h"

#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

// reference_unsigned is strtoul with base 0 at 32 bits.
std::uint32_t reference_unsigned(const std::string& text) {
    std::size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])) != 0) {
        ++pos;
    }
    bool minus = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        minus = text[pos] == '-';
        ++pos;
    }
    const char* rest = text.c_str() + pos;
    if (*rest == '+' || *rest == '-' || std::isspace(static_cast<unsigned char>(*rest)) != 0) {
        return 0;
    }
    errno = 0;
    const unsigned long long value = std::strtoull(rest, nullptr, 0);
    if (errno == ERANGE || value > std::numeric_limits<std::uint32_t>::max()) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    const auto result = static_cast<std::uint32_t>(value);
    return minus ? static_cast<std::uint32_t>(0u - result) : result;
}

// reference_signed is strtol with base 0 at 32 bits.
std::int32_t reference_signed(const std::string& text) {
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 0);
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::uint32_t u = parse_unsigned(text);
    const std::int32_t s = parse_signed(text);
    // The C functions stop at a NUL byte, as the number rules stop at any
    // character that does not fit.
    const std::string cut = text.substr(0, text.find('\0'));
    FUZZ_CHECK(u == reference_unsigned(cut));
    FUZZ_CHECK(s == reference_signed(cut));
    return 0;
}
