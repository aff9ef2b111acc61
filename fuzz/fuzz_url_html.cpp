// fuzz_url_html: any bytes as a file name. Its percent-encoded href decodes
// back to the name's bytes and holds nothing that ends or cuts a link ("?",
// "#", quotes, markup, blanks, control bytes); its escaped text holds no "<"
// or ">" and every "&" starts an entity.
#include "cgi/html.h"
#include "fuzz/fuzz_check.h"
#include "runtime/url.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1; // the encoder writes upper-case digits only
}

// percent_decode returns the bytes of `href`; false when a "%" is not
// followed by two upper-case hexadecimal digits.
bool percent_decode(std::string_view href, std::string& out) {
    for (std::size_t pos = 0; pos < href.size(); ++pos) {
        if (href[pos] != '%') {
            out += href[pos];
            continue;
        }
        if (pos + 2 >= href.size()) {
            return false;
        }
        const int high = hex_value(href[pos + 1]);
        const int low = hex_value(href[pos + 2]);
        if (high < 0 || low < 0) {
            return false;
        }
        out += static_cast<char>(high * 16 + low);
        pos += 2;
    }
    return true;
}

void check_href(std::string_view name, bool doubleByte) {
    const std::string href = vv_url_encode(name, kUrlPathKeep, doubleByte);
    std::string decoded;
    FUZZ_CHECK(percent_decode(href, decoded));
    FUZZ_CHECK(decoded == name);
    for (const char c : href) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            continue; // the second byte of a double-byte character, or a high byte
        }
        FUZZ_CHECK(byte > 0x20 && byte != 0x7F);
        FUZZ_CHECK(std::string_view("?#\"<>&; ").find(c) == std::string_view::npos);
    }
    std::string appended = "x";
    vv_url_encode_append(appended, name, kUrlPathKeep, doubleByte);
    FUZZ_CHECK(appended == "x" + href);
}

void check_escaped(std::string_view name) {
    const std::string escaped = escaped_html(name);
    FUZZ_CHECK(escaped.find('<') == std::string::npos);
    FUZZ_CHECK(escaped.find('>') == std::string::npos);
    for (std::size_t pos = escaped.find('&'); pos != std::string::npos;
         pos = escaped.find('&', pos + 1)) {
        const std::string_view rest = std::string_view(escaped).substr(pos);
        FUZZ_CHECK(rest.starts_with("&amp;") || rest.starts_with("&lt;") ||
                   rest.starts_with("&gt;"));
    }
    std::string inPlace(name);
    FUZZ_CHECK(escape_html(inPlace) == escaped);
    std::string appended = "<";
    append_escaped_html(appended, name);
    FUZZ_CHECK(appended == "<" + escaped);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    check_href(name, false);
    check_href(name, true);
    check_escaped(name);
    return 0;
}
