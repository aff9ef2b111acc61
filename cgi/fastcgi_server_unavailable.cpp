// FastCgiServer where the build has no libfcgi: the program is a CGI
// program only.
#include "cgi/fastcgi_server.h"

FastCgiServer::FastCgiServer(FastCgiProgram program) : m_program(program) {}

int FastCgiServer::serve(unsigned) {
    return 1;
}

void FastCgiServer::child_main(void*) {}

void FastCgiServer::answer_requests() {
    platform::end_child(1);
}
