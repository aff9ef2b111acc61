// URL encoding and composition.
#include "runtime/url.h"

#include "platform/text.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr std::string_view kReserved = ";/?:@&=+$,[]";
constexpr std::string_view kExcludedMarks = " <>#%\"{}|\\^`";

constexpr bool in_encoded_set(unsigned char c) {
    if (c < 0x20 || c >= 0x7F)
        return true;
    return kReserved.find(static_cast<char>(c)) != std::string_view::npos ||
           kExcludedMarks.find(static_cast<char>(c)) != std::string_view::npos;
}

// The table of 256 texts: "%XX" for the encoded set, the byte itself
// otherwise. Built by the compiler, so that no request spends time on it.
struct EncodingTable {
    char text[256][4];
    unsigned char length[256];
};

constexpr EncodingTable make_encoding_table() {
    constexpr char kHex[] = "0123456789ABCDEF";
    EncodingTable t{};
    for (unsigned c = 0; c < 256; ++c) {
        if (in_encoded_set(static_cast<unsigned char>(c))) {
            t.text[c][0] = '%';
            t.text[c][1] = kHex[c >> 4];
            t.text[c][2] = kHex[c & 15];
            t.length[c] = 3;
        } else {
            t.text[c][0] = static_cast<char>(c);
            t.length[c] = 1;
        }
    }
    return t;
}

constexpr EncodingTable kEncodingTable = make_encoding_table();

const EncodingTable& encoding_table() {
    return kEncodingTable;
}

} // namespace

void vv_url_encode_append(std::string& out, std::string_view text, std::string_view keep,
                          bool doubleByte) {
    const EncodingTable& table = encoding_table();
    // Most names need no encoding at all: their bytes go in as one run.
    std::size_t plain = 0;
    while (plain < text.size() && table.length[static_cast<unsigned char>(text[plain])] == 1)
        ++plain;
    out.append(text.data(), plain);
    if (plain == text.size())
        return;
    text.remove_prefix(plain);
    std::uint64_t kept[4] = {};
    for (const char c : keep) {
        const auto k = static_cast<unsigned char>(c);
        kept[k >> 6] |= std::uint64_t{1} << (k & 63);
    }
    // The text grows at most threefold: write straight into that room and
    // cut the string to what was written.
    const std::size_t start = out.size();
    out.resize(start + text.size() * 3);
    char* const first = out.data() + start;
    char* p = first;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (table.length[c] == 1 || (kept[c >> 6] >> (c & 63) & 1) != 0) {
            *p++ = static_cast<char>(c);
            ++i;
            continue;
        }
        if (doubleByte && platform::char_length(text, i) == 2) {
            *p++ = text[i];
            *p++ = text[i + 1];
            i += 2;
            continue;
        }
        std::memcpy(p, table.text[c], 3);
        p += 3;
        ++i;
    }
    out.resize(start + static_cast<std::size_t>(p - first));
}

std::string vv_url_encode(std::string_view text, std::string_view keep, bool doubleByte) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    vv_url_encode_append(out, text, keep, doubleByte);
    return out;
}

void vvUrl::set_path(std::string_view s) {
    m_path = s;
    if (!m_path.empty())
        m_opaque = false;
}

const std::string& vvUrl::compose() {
    m_url.clear();
    if (!m_scheme.empty()) {
        m_url += m_scheme;
        m_url += ':';
    }
    if (!m_userInfo.empty() || !m_host.empty() || !m_port.empty()) {
        if (!m_opaque && !m_url.empty())
            m_url += "//";
        if (!m_userInfo.empty()) {
            m_url += vv_url_encode(m_userInfo, ";:&=+$,", false);
            m_url += '@';
        }
        m_url += vv_url_encode(m_host, "[]:", false);
        if (!m_port.empty()) {
            m_url += ':';
            m_url += m_port;
        }
        if (!m_opaque && !m_path.empty() && (m_url.empty() || m_url.back() != '/'))
            m_url += '/';
    }
    m_url += vv_url_encode(m_path, kUrlPathKeep, m_doubleByte);
    if (!m_query.empty()) {
        m_url += '?';
        m_url += vv_url_encode(m_query, "", false);
    }
    return m_url;
}
