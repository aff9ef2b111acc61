// URL encoding and composition.
#include "runtime/url.h"

#include "platform/text.h"

#include <array>

namespace {

constexpr std::string_view kReserved = ";/?:@&=+$,[]";
constexpr std::string_view kExcludedMarks = " <>#%\"{}|\\^`";

bool in_encoded_set(unsigned char c) {
    if (c < 0x20 || c >= 0x7F)
        return true;
    return kReserved.find(static_cast<char>(c)) != std::string_view::npos ||
           kExcludedMarks.find(static_cast<char>(c)) != std::string_view::npos;
}

// The table of 256 texts, built once: "%XX" for the encoded set, the byte itself
// otherwise.
const std::array<std::string, 256>& encoding_table() {
    static const std::array<std::string, 256> table = [] {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::array<std::string, 256> t;
        for (unsigned c = 0; c < 256; ++c) {
            if (in_encoded_set(static_cast<unsigned char>(c)))
                t[c] = {'%', kHex[c >> 4], kHex[c & 15]};
            else
                t[c] = std::string(1, static_cast<char>(c));
        }
        return t;
    }();
    return table;
}

} // namespace

std::string vv_url_encode(std::string_view text, std::string_view keep, bool doubleByte) {
    const auto& table = encoding_table();
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (std::size_t i = 0; i < text.size();) {
        if (doubleByte && platform::char_length(text, i) == 2) {
            out.append(text.substr(i, 2));
            i += 2;
            continue;
        }
        const char c = text[i++];
        if (keep.find(c) != std::string_view::npos)
            out += c;
        else
            out += table[static_cast<unsigned char>(c)];
    }
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
