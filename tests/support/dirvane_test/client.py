"""The test's HTTP client: a free loopback port, one request with
"Connection: close" read to its end, and the response split."""

import socket
import time

# The User-Agent of the FastCGI suites' requests.
UA = "TestAgent/1.0 (X11; a, b)"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, process, seconds=20):
    """Whether the port takes a connection before `process` ends or the
    seconds pass."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if process is not None and process.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return True
        except OSError:
            time.sleep(0.05)
    return False


class Response:
    def __init__(self, raw):
        head, sep, self.body = raw.partition(b"\r\n\r\n")
        assert sep, "no end of header in %r" % raw[:300]
        lines = head.split(b"\r\n")
        self.status_line = lines[0].decode("latin-1")
        self.status = int(self.status_line.split(" ")[1])
        self.headers = {}
        for line in lines[1:]:
            name, _, value = line.decode("latin-1").partition(":")
            self.headers[name.strip().lower()] = value.strip()


def request(port, path, headers=None, timeout=30):
    """Sends one GET for the raw bytes `path` and reads to the end."""
    if isinstance(path, str):
        path = path.encode()
    lines = [b"GET " + path + b" HTTP/1.1", b"Host: 127.0.0.1:%d" % port, b"Connection: close"]
    for name, value in (headers or {}).items():
        lines.append(name.encode() + b": " + value.encode())
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(b"\r\n".join(lines) + b"\r\n\r\n")
        chunks = []
        while True:
            data = s.recv(65536)
            if not data:
                break
            chunks.append(data)
    return Response(b"".join(chunks))


def get(port, path, agent=UA, referer="http://ref.test/x"):
    """A visitor's GET with its User-Agent and Referer; a body sent in
    chunks is joined."""
    headers = {"User-Agent": agent}
    if referer:
        headers["Referer"] = referer
    r = request(port, path, headers, timeout=60)
    if r.headers.get("transfer-encoding") == "chunked":
        body, rest = b"", r.body
        while True:
            size, _, rest = rest.partition(b"\r\n")
            n = int(size.split(b";")[0], 16)
            if n == 0:
                break
            body, rest = body + rest[:n], rest[n + 2:]
        r.body = body
    return r
