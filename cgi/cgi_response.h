// CgiResponse: the response base of a request. It keeps a snapshot of the
// environment, the page body and the status, and writes header and body in
// one go at the end, so the header can carry the exact body length.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

// stop_request_output ends the output of the request: after the time-out
// no response and no access log record starts. A thread that is about to
// write one afterwards waits in hold_if_output_stopped for the process to
// end; a write already under way is not stopped.
void stop_request_output();
void hold_if_output_stopped();

class CgiResponse {
  public:
    // `out` is standard output or an opened output file; it is not owned and
    // never closed here. It is switched to binary mode.
    CgiResponse(std::FILE* out, std::string_view contentType);
    virtual ~CgiResponse() = default;

    CgiResponse(const CgiResponse&) = delete;
    CgiResponse& operator=(const CgiResponse&) = delete;

    // env returns the value of an environment variable, "" when it is absent.
    const std::string& env(std::string_view name) const;

    // debug_line appends `text` and "\n" to the debug report while it is on and
    // holds less than 1 MiB.
    void debug_line(std::string_view text);

    // status_text returns the status line text of `code` ("404 Not Found"), or
    // the bare number for a code without a text.
    static std::string status_text(std::uint32_t code);

    // header_text returns the CGI header block, ended by the empty line.
    std::string header_text() const;

    // send_response writes the header block (unless `noHeader`) and the whole
    // body, flushes, and returns whether the stream reports no error.
    bool send_response(bool noHeader);

    // tag_response gives the response an ETag made from its body; when
    // `ifNoneMatch` (the request's If-None-Match) names that tag, or is "*",
    // the response becomes "304 Not Modified" without body.
    void tag_response(std::string_view ifNoneMatch);

    // vary_on_accept adds "Vary: Accept": the Accept header chose the form.
    void vary_on_accept() { m_varyAccept = true; }

    // entity_tag returns the quoted tag of a body; none_match_names tells
    // whether an If-None-Match value names `tag` (weakly compared).
    static std::string entity_tag(std::string_view body);
    static bool none_match_names(std::string_view ifNoneMatch, std::string_view tag);

    const std::string& body() const { return m_body; }
    std::uint32_t status() const { return m_status; }

  protected:
    static constexpr std::size_t kDebugTextLimit = 1048576;

    // The environment as the system keeps it ("NAME=value", each ended by a
    // NUL byte), and the values looked up so far: a request asks for a
    // handful of its variables.
    std::string m_env;
    mutable std::map<std::string, std::string, std::less<>> m_envValues;
    std::FILE* m_out;
    std::string m_contentType;
    std::string m_body;
    std::uint32_t m_status = 200;
    bool m_debugFlag = false;
    std::string m_debugText;
    std::string m_etag;
    bool m_varyAccept = false;
};
