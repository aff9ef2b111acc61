// Win32 only: there is no FastCGI responder; Dirvane runs as a CGI program.
#include "platform/fastcgi.h"

namespace platform {

bool fastcgi_listener() {
    return false;
}

int serve_fastcgi(unsigned children, FastCgiHandler handler, FastCgiReset reset) {
    (void)children;
    (void)handler;
    (void)reset;
    return 1;
}

unsigned fastcgi_children() {
    return 1;
}

} // namespace platform
