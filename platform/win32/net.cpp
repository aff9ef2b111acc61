// Win32 only: loopback ports through Winsock. SO_REUSEADDR would let a bind
// succeed over a listening server on Windows, so the free check binds with
// SO_EXCLUSIVEADDRUSE instead.
#include "platform/net.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace platform {

namespace {

bool winsock_ready() {
    static const bool ready = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

bool loopback_port_free(int port) {
    if (port <= 0 || port > 65535 || !winsock_ready()) {
        return false;
    }
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return false;
    }
    BOOL exclusive = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
               sizeof exclusive);
    const sockaddr_in address = loopback(port);
    const bool free = bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    closesocket(s);
    return free;
}

bool loopback_port_accepts(int port) {
    if (port <= 0 || port > 65535 || !winsock_ready()) {
        return false;
    }
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return false;
    }
    const sockaddr_in address = loopback(port);
    const bool accepted =
        connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    closesocket(s);
    return accepted;
}

} // namespace platform
