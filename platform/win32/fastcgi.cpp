// Win32 only: no FastCGI processes; Dirvane runs as a CGI program.
#include "platform/fastcgi.h"

#include <cstdlib>

namespace platform {

bool fastcgi_listener() {
    return false;
}

unsigned fastcgi_children() {
    return 1;
}

int serve_children(unsigned, ChildMain, void*) {
    return 1;
}

void end_child(int code) {
    std::_Exit(code);
}

struct Connections::State {};

Connections::Connections(HeadCheck, std::size_t, std::uint32_t) {}

Connections::~Connections() = default;

int Connections::next(bool) {
    return kNoMore;
}

void Connections::keep(int) {}

void Connections::close_connection(int) {}

std::vector<int> Connections::held() const {
    return {};
}

ChildBaseline::ChildBaseline() = default;

bool ChildBaseline::unchanged(const std::vector<int>&) const {
    return false;
}

EnvironmentValues environment_values(const std::vector<const char*>&) {
    return {};
}

void set_environment(char* const*, const EnvironmentValues&) {}

std::FILE* open_write_stream(void*, StreamWrite) {
    return nullptr;
}

bool write_connection(int, std::string_view) {
    return false;
}

void end_request_state() {}

} // namespace platform
