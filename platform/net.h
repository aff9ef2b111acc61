// Loopback TCP ports: whether one is free for a server, whether a server
// answers on it.
#pragma once

namespace platform {

// loopback_port_free tells whether a server could listen on 127.0.0.1:port
// now (address reuse on, as web servers set it, so connections of an ended
// server in TIME_WAIT do not count).
bool loopback_port_free(int port);

// loopback_port_accepts tells whether a connection to 127.0.0.1:port is
// accepted now.
bool loopback_port_accepts(int port);

} // namespace platform
