// The CGI response: environment snapshot, status line and header block.
#include "cgi/cgi_response.h"

#include "platform/io.h"
#include "platform/process.h"

#include <array>
#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

namespace {

struct StatusRow {
    std::uint32_t code;
    const char* text;
};

constexpr std::array<StatusRow, 40> kStatusTexts = {{
    {100, "100 Continue"},
    {101, "101 Switching Protocols"},
    {200, "200 OK"},
    {201, "201 Created"},
    {202, "202 Accepted"},
    {203, "203 Non-Authoritative Information"},
    {204, "204 No Content"},
    {205, "205 Reset Content"},
    {206, "206 Partial Content"},
    {300, "300 Multiple Choices"},
    {301, "301 Moved Permanently"},
    {302, "302 Found"},
    {303, "303 See Other"},
    {304, "304 Not Modified"},
    {305, "305 Use Proxy"},
    {307, "307 Temporary Redirect"},
    {400, "400 Bad Request"},
    {401, "401 Unauthorized"},
    {402, "402 Payment Required"},
    {403, "403 Forbidden"},
    {404, "404 Not Found"},
    {405, "405 Method Not Allowed"},
    {406, "406 Not Acceptable"},
    {407, "407 Proxy Authentication Required"},
    {408, "408 Request Time-out"},
    {409, "409 Conflict"},
    {410, "410 Gone"},
    {411, "411 Length Required"},
    {412, "412 Precondition Failed"},
    {413, "413 Request Entity Too Large"},
    {414, "414 Request-URI Too Large"},
    {415, "415 Unsupported Media Type"},
    {416, "416 Requested range not satisfiable"},
    {417, "417 Expectation Failed"},
    {500, "500 Internal Server Error"},
    {501, "501 Not Implemented"},
    {502, "502 Bad Gateway"},
    {503, "503 Service Unavailable"},
    {504, "504 Gateway Time-out"},
    {505, "505 HTTP Version not supported"},
}};

} // namespace

CgiResponse::CgiResponse(std::FILE* out, std::string_view contentType)
    : m_env(platform::environment_block()), m_out(out), m_contentType(contentType) {
    platform::set_binary_mode(m_out);
}

const std::string& CgiResponse::env(std::string_view name) const {
    if (const auto known = m_envValues.find(name); known != m_envValues.end())
        return known->second;
    // A variable's name is the text before the first "=" of its entry; a
    // later entry of the same name replaces an earlier one. Entries without
    // "=" name nothing.
    std::string value;
    if (name.find('=') == std::string_view::npos) {
        const std::string_view block = m_env;
        for (std::size_t pos = 0; pos < block.size();) {
            std::size_t end = block.find('\0', pos);
            if (end == std::string_view::npos)
                end = block.size();
            const std::string_view entry = block.substr(pos, end - pos);
            pos = end + 1;
            if (entry.size() > name.size() && entry[name.size()] == '=' &&
                entry.substr(0, name.size()) == name)
                value = entry.substr(name.size() + 1);
        }
    }
    return m_envValues.emplace(name, std::move(value)).first->second;
}

void CgiResponse::debug_line(std::string_view text) {
    // The cap is checked before the append, so the report may end a little
    // above the limit.
    if (!m_debugFlag || m_debugText.size() >= kDebugTextLimit)
        return;
    m_debugText += text;
    m_debugText += '\n';
}

std::string CgiResponse::status_text(std::uint32_t code) {
    for (const StatusRow& row : kStatusTexts) {
        if (row.code == code)
            return row.text;
    }
    return std::to_string(code);
}

std::string CgiResponse::header_text() const {
    std::string header;
    if (m_status != 200) {
        header += "Status: ";
        header += status_text(m_status);
        header += "\r\n";
    }
    // A 304 answer has no body, so it names neither type nor length.
    if (m_status != 304) {
        header += "Content-Type: ";
        header += m_contentType;
        header += "\r\nContent-Length: ";
        header += std::to_string(m_body.size());
        header += "\r\n";
    }
    if (!m_etag.empty()) {
        header += "ETag: ";
        header += m_etag;
        header += "\r\n";
    }
    if (m_varyAccept)
        header += "Vary: Accept\r\n";
    header += "\r\n";
    return header;
}

namespace {

std::atomic<bool> g_outputStopped{false};

} // namespace

void stop_request_output() {
    g_outputStopped = true;
}

void hold_if_output_stopped() {
    while (g_outputStopped) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}

bool CgiResponse::send_response(bool noHeader) {
    hold_if_output_stopped();
    const std::string header = noHeader ? std::string() : header_text();
    const bool written = platform::write_response(m_out, header, m_body);
    std::fflush(m_out);
    return written && std::ferror(m_out) == 0;
}

std::string CgiResponse::entity_tag(std::string_view body) {
    // FNV-1a, 64 bits: a folder's page changes in more than one byte when
    // anything listed changes, and the tag is no secret.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : body) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string tag = "\"";
    for (int shift = 60; shift >= 0; shift -= 4)
        tag += kDigits[(hash >> shift) & 0xF];
    tag += '"';
    return tag;
}

bool CgiResponse::none_match_names(std::string_view ifNoneMatch, std::string_view tag) {
    while (!ifNoneMatch.empty()) {
        const std::size_t comma = ifNoneMatch.find(',');
        std::string_view item = ifNoneMatch.substr(0, comma);
        ifNoneMatch.remove_prefix(comma == std::string_view::npos ? ifNoneMatch.size() : comma + 1);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
            item.remove_prefix(1);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
            item.remove_suffix(1);
        if (item.substr(0, 2) == "W/")
            item.remove_prefix(2);
        if (item == "*" || item == tag)
            return true;
    }
    return false;
}

void CgiResponse::tag_response(std::string_view ifNoneMatch) {
    m_etag = entity_tag(m_body);
    if (none_match_names(ifNoneMatch, m_etag)) {
        m_status = 304;
        std::string().swap(m_body);
    }
}
