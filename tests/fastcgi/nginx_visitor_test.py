"""The visitor's options behind nginx, with Dirvane as a FastCGI server
started by spawn-fcgi (dist/fastcgi/nginx.conf): the cases of
tests/server/visitor_test.py, with the request parameters that nginx passes."""

import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "server"))
from fastcgi_run import (SPAWN_FCGI, FastCgiSite, find_program, free_port,  # noqa: E402
                         sample, stop, wait_for_port, write)
from server_run import Response  # noqa: E402
from visitor_test import COMMON_INI, VisitorCases, fill_site  # noqa: E402

NGINX = find_program("nginx")


def request(port, path, headers):
    import socket
    if isinstance(path, str):
        path = path.encode()
    lines = [b"GET " + path + b" HTTP/1.1", b"Host: 127.0.0.1:%d" % port, b"Connection: close"]
    for name, value in (headers or {}).items():
        lines.append(name.encode() + b": " + value.encode())
    with socket.create_connection(("127.0.0.1", port), timeout=60) as s:
        s.sendall(b"\r\n".join(lines) + b"\r\n\r\n")
        chunks = []
        while True:
            data = s.recv(65536)
            if not data:
                break
            chunks.append(data)
    r = Response(b"".join(chunks))
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


@unittest.skipUnless(NGINX and SPAWN_FCGI, "nginx and spawn-fcgi are not installed")
class VisitorThroughNginx(VisitorCases, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = cls.site = FastCgiSite()
        cls.addClassCleanup(site.close)
        site.write_ini(30, COMMON_INI.replace("[index]\n", ""))
        cls.docroot = site.docroot
        fill_site(site.docroot)
        site.start_responder()
        cls.port = free_port()
        server = (sample("nginx.conf")
                  .replace("listen 80;", "listen 127.0.0.1:%d;" % cls.port)
                  .replace("/var/www/html", site.docroot)
                  .replace("/run/dirvane/fcgi.sock", site.socket)
                  .replace("include fastcgi_params;", "include /etc/nginx/fastcgi_params;"))
        prefix = os.path.join(site.root, "nginx")
        conf = write(os.path.join(prefix, "nginx.conf"),
                     "daemon off;\nmaster_process on;\nworker_processes 1;\n"
                     "pid %s/nginx.pid;\nerror_log %s/error.log;\nevents {}\n"
                     "http {\naccess_log off;\n%s\n}\n" % (prefix, prefix, server))
        cls.server = subprocess.Popen([NGINX, "-p", prefix, "-c", conf],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.addClassCleanup(stop, cls.server)
        assert wait_for_port(cls.port, cls.server), "nginx did not start"

    def fetch(self, path, headers=None):
        return request(self.port, path, headers)


if __name__ == "__main__":
    unittest.main()
