// FastCgiServer over libfcgi. A child takes a connection only once the head
// of its request (BEGIN_REQUEST and the parameters up to the empty PARAMS
// record) has come whole, so a client that sends a part and stalls holds no
// child; libfcgi reads that head, and the response goes out in records
// written here (ResponseRecords).
#include "cgi/fastcgi_server.h"

#include "platform/file.h"
#include "platform/fs.h"

#include <fcgiapp.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The variables of the process's own environment that stay in a request's:
// the parent opened the collator and read the zone rules under them, so a
// child converts and sorts as the parent loaded.
const std::vector<const char*> kKeptVariables = {"TZ", "TZDIR", "LANG", "LC_ALL", "LC_COLLATE"};

// A child ends after this many requests.
constexpr unsigned kRequestsPerChild = 1000;

// A head must have come this long after its accept.
constexpr std::uint32_t kHeadDeadlineMs = 5000;
// The parameters' total size (names and values); a head with more is not
// read, whatever lengths its pairs declare.
constexpr std::size_t kParamsLimit = 64 * 1024;
// The head's records (8 bytes of header and up to 255 of padding each) with
// parameters of kParamsLimit, and a few management records before them.
constexpr std::size_t kHeadLimit = kParamsLimit + 16 * 1024;

using platform::HeadState;

// pair_lengths_fit tells whether the name-value pairs of `params` (the
// PARAMS records' contents, joined) each declare lengths that lie inside it.
bool pair_lengths_fit(const std::vector<unsigned char>& params) {
    std::size_t at = 0;
    const auto length = [&](std::size_t& out) {
        if (at >= params.size())
            return false;
        if ((params[at] & 0x80) == 0) {
            out = params[at++];
            return true;
        }
        if (params.size() - at < 4)
            return false;
        out = (static_cast<std::size_t>(params[at] & 0x7f) << 24) |
              (static_cast<std::size_t>(params[at + 1]) << 16) |
              (static_cast<std::size_t>(params[at + 2]) << 8) | params[at + 3];
        at += 4;
        return true;
    };
    while (at < params.size()) {
        std::size_t name = 0;
        std::size_t value = 0;
        if (!length(name) || !length(value) || name > params.size() - at ||
            value > params.size() - at - name) {
            return false;
        }
        at += name + value;
    }
    return true;
}

// request_head_state reads the FastCGI records at the start of `bytes`: a
// responder's BEGIN_REQUEST (management records may come first) and its
// PARAMS up to the empty one, with no other record between and parameters
// within kParamsLimit. Only such a head goes to libfcgi, which would
// reserve whatever length a pair declares.
HeadState request_head_state(const unsigned char* bytes, std::size_t size) {
    constexpr unsigned kBegin = 1, kParams = 4, kGetValues = 9, kResponder = 1;
    std::size_t at = 0;
    unsigned id = 0; // the request's id, once BEGIN_REQUEST has come
    std::vector<unsigned char> params;
    for (;;) {
        if (size - at < 8)
            return HeadState::incomplete;
        const unsigned char* header = bytes + at;
        const unsigned type = header[1];
        const unsigned recordId = (header[2] << 8) | header[3];
        const std::size_t contentLength = (header[4] << 8) | header[5];
        const std::size_t recordLength = 8 + contentLength + header[6];
        if (header[0] != 1)
            return HeadState::invalid;
        if (recordId == 0 && type == kGetValues) {
            // libfcgi answers it.
        } else if (id == 0) {
            if (type != kBegin || recordId == 0 || contentLength < 8)
                return HeadState::invalid;
        } else if (type != kParams || recordId != id) {
            return HeadState::invalid;
        } else if (contentLength > kParamsLimit - params.size()) {
            return HeadState::invalid;
        }
        if (size - at < recordLength)
            return HeadState::incomplete;
        const unsigned char* content = header + 8;
        if (type == kBegin && id == 0) {
            if (((content[0] << 8) | content[1]) != kResponder)
                return HeadState::invalid;
            id = recordId;
        } else if (type == kParams) {
            if (contentLength == 0)
                return pair_lengths_fit(params) ? HeadState::complete : HeadState::invalid;
            params.insert(params.end(), content, content + contentLength);
        }
        at += recordLength;
    }
}

// ResponseRecords gathers a request's response as STDOUT records of up to
// 65535 bytes each and writes them to its connection in as few writes as
// it can: a page that fits into kFlushBytes goes out whole with the records
// that end the request, in one write, where libfcgi writes a record of 8 KB
// at a time and wakes the web server for each. Records are padded to a
// multiple of 8 bytes, as libfcgi pads them; the web server passes the same
// bytes on whichever way they were cut.
class ResponseRecords {
  public:
    void start(int connection, unsigned requestId) {
        m_connection = connection;
        m_requestId = requestId;
        m_failed = false;
        m_bytes.clear();
        open_record();
    }

    // append adds `size` bytes of the response; a larger response goes out
    // in whole records as it grows, so what is held stays small.
    bool append(const char* data, std::size_t size) {
        while (size > 0) {
            const std::size_t room = kRecordContent - content_length();
            const std::size_t part = size < room ? size : room;
            m_bytes.append(data, part);
            data += part;
            size -= part;
            if (part == room) {
                close_record();
                open_record();
            }
        }
        if (m_openRecord >= kFlushBytes)
            write_out(m_openRecord);
        return !m_failed;
    }

    // finish writes what is left, the empty STDOUT record and END_REQUEST
    // (status 0, the request complete); returns whether every write went.
    bool finish() {
        if (content_length() > 0)
            close_record();
        else
            m_bytes.resize(m_openRecord);
        append_header(kStdout, 0, 0);
        append_header(kEndRequest, 8, 0);
        m_bytes.append(8, '\0');
        write_out(m_bytes.size());
        return !m_failed;
    }

  private:
    static constexpr unsigned kStdout = 6, kEndRequest = 3;
    static constexpr std::size_t kRecordContent = 65535;
    // Whole records are written once this much of them is held.
    static constexpr std::size_t kFlushBytes = 4 * (kRecordContent + 8 + 1);

    std::size_t content_length() const { return m_bytes.size() - m_openRecord - 8; }

    static void put_header(char* at, unsigned type, unsigned id, std::size_t length,
                           unsigned padding) {
        at[0] = 1;
        at[1] = static_cast<char>(type);
        at[2] = static_cast<char>(id >> 8);
        at[3] = static_cast<char>(id & 0xff);
        at[4] = static_cast<char>(length >> 8);
        at[5] = static_cast<char>(length & 0xff);
        at[6] = static_cast<char>(padding);
        at[7] = 0;
    }

    void append_header(unsigned type, std::size_t length, unsigned padding) {
        char header[8];
        put_header(header, type, m_requestId, length, padding);
        m_bytes.append(header, sizeof header);
    }

    // open_record starts a STDOUT record whose header is written once its
    // length is known.
    void open_record() {
        m_openRecord = m_bytes.size();
        m_bytes.append(8, '\0');
    }

    void close_record() {
        const std::size_t length = content_length();
        const unsigned padding = static_cast<unsigned>((8 - length % 8) % 8);
        put_header(m_bytes.data() + m_openRecord, kStdout, m_requestId, length, padding);
        m_bytes.append(padding, '\0');
    }

    // write_out writes the first `size` bytes held and drops them; after a
    // failed write nothing more is written.
    void write_out(std::size_t size) {
        if (!m_failed && !platform::write_connection(m_connection, {m_bytes.data(), size}))
            m_failed = true;
        m_bytes.erase(0, size);
        m_openRecord -= size < m_openRecord ? size : m_openRecord;
    }

    int m_connection = -1;
    unsigned m_requestId = 0;
    bool m_failed = false;
    std::string m_bytes;
    std::size_t m_openRecord = 0; // where the STDOUT record being filled starts
};

long write_to_response(void* cookie, const char* data, std::size_t size) {
    return static_cast<ResponseRecords*>(cookie)->append(data, size) ? static_cast<long>(size) : -1;
}

} // namespace

FastCgiServer::FastCgiServer(FastCgiProgram program) : m_program(program) {}

int FastCgiServer::serve(unsigned children) {
    if (!platform::fastcgi_listener() || FCGX_Init() != 0)
        return 1;
    return platform::serve_children(children, child_main, this);
}

void FastCgiServer::child_main(void* server) {
    static_cast<FastCgiServer*>(server)->answer_requests();
}

void FastCgiServer::answer_requests() {
    m_kept = platform::environment_values(kKeptVariables);
    platform::keep_searches();
    const platform::ChildBaseline baseline;
    // libfcgi reads the heads that have come whole and accepts nothing
    // itself: its listening socket is none, so a connection it turns down
    // is closed and the call returns.
    FCGX_Request request;
    if (FCGX_InitRequest(&request, -1, FCGI_FAIL_ACCEPT_ON_INTR) != 0)
        platform::end_child(platform::kChildCannotAccept);
    platform::Connections connections(request_head_state, kHeadLimit, kHeadDeadlineMs);
    ResponseRecords response;
    // A child that must not go on answers the heads it holds that come
    // whole in time, accepts no more, and then ends.
    bool accepting = true;
    for (unsigned served = 0;;) {
        const int fd = connections.next(accepting);
        if (fd < 0)
            platform::end_child(
                fd == platform::Connections::kNoMore ? 0 : platform::kChildCannotAccept);
        request.ipcFd = fd;
        // FCGX_Accept_r first finishes the request before, which would close
        // a connection that is not kept.
        request.keepConnection = 1;
        if (FCGX_Accept_r(&request) < 0)
            continue;
        ++served;
        platform::set_environment(request.envp, m_kept);

        // A request that names no file, or whose folder cannot be entered,
        // is not answered: the connection closes without the end of the
        // request, which the web server reports as its own error.
        const char* conf = std::getenv("SCRIPT_FILENAME");
        if (conf == nullptr || *conf == '\0')
            platform::end_child(1);
        const std::string path(conf);
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : path.substr(0, slash);
        response.start(request.ipcFd, static_cast<unsigned>(request.requestId));
        std::FILE* out = platform::set_current_directory(folder)
                             ? platform::open_write_stream(&response, write_to_response)
                             : nullptr;
        if (out == nullptr)
            platform::end_child(1);
        const int code = m_program.answer(m_program.context, path.c_str(), out);
        std::fclose(out);
        // The response's records go out here, not through libfcgi's
        // streams: libfcgi only lets the request go, as FCGX_Finish_r does
        // without its writes, and closes a connection that is not kept or
        // whose write failed.
        const bool written = response.finish();
        FCGX_Free(&request, !request.keepConnection || !written || FCGX_GetError(request.in) != 0);
        if (m_program.after_response != nullptr)
            m_program.after_response(m_program.context);
        if (code != 0)
            platform::end_child(code);

        // What the request set up for itself ends with it: its time-out (it
        // held while the response was written), its environment (whose
        // texts went with the request).
        platform::end_request_state();
        platform::set_environment(nullptr, m_kept);
        // The connection the server keeps for its next request, and those
        // waiting for their heads, are no request's open files.
        const int keptConnection = request.ipcFd;
        request.ipcFd = -1;
        std::vector<int> held = connections.held();
        held.push_back(keptConnection);
        // `reset` runs after every request, also in a child that ends.
        const bool takenBack = m_program.reset != nullptr && m_program.reset(m_program.context);
        accepting =
            accepting && takenBack && served < kRequestsPerChild && baseline.unchanged(held);
        if (keptConnection >= 0) {
            if (accepting)
                connections.keep(keptConnection);
            else
                platform::Connections::close_connection(keptConnection);
        }
    }
}
