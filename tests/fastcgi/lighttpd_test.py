"""Dirvane over FastCGI behind lighttpd, with dist/fastcgi/lighttpd.conf and
with dirvane-httpd --fastcgi: lighttpd starts Dirvane itself (bin-path)."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fastcgi_run import (FastCgiCases, FastCgiSite, find_program, free_port,  # noqa: E402
                         sample, stop, wait_for_port, write)

LIGHTTPD = find_program("lighttpd")
HTTPD = os.environ.get("DIRVANE_HTTPD", "")


@unittest.skipUnless(LIGHTTPD, "lighttpd is not installed")
class Lighttpd(FastCgiCases, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = cls.site = FastCgiSite()
        cls.addClassCleanup(site.close)
        cls.port = free_port()
        part = (sample("lighttpd.conf")
                .replace("/usr/lib/cgi-bin/Dirvane", site.program)
                .replace("/run/dirvane/fcgi.sock", site.socket))
        prefix = os.path.join(site.root, "lighttpd")
        conf = write(os.path.join(prefix, "lighttpd.conf"),
                     'server.document-root = "%s"\nserver.bind = "127.0.0.1"\n'
                     'server.port = %d\nserver.errorlog = "%s/error.log"\n'
                     'mimetype.assign = ("" => "application/octet-stream")\n%s'
                     % (site.docroot, cls.port, prefix, part))
        cls.server = subprocess.Popen([LIGHTTPD, "-D", "-f", conf],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.addClassCleanup(stop, cls.server)
        assert wait_for_port(cls.port, cls.server), "lighttpd did not start"


@unittest.skipUnless(LIGHTTPD and HTTPD, "lighttpd or dirvane-httpd is missing")
class DirvaneHttpd(FastCgiCases, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = cls.site = FastCgiSite()
        cls.addClassCleanup(site.close)
        cls.port = free_port()
        state = os.path.join(site.root, "state")
        os.makedirs(state)
        os.chmod(state, 0o777)
        env = dict(os.environ, DIRVANE_REGISTRY=os.path.join(site.root, "registry.reg"))
        subprocess.run([HTTPD, "--register", "--cgi", site.program], env=env, check=True,
                       capture_output=True, timeout=60)
        cls.server = subprocess.Popen(
            [HTTPD, "--root", site.docroot, "--port", str(cls.port), "--state", state,
             "--fastcgi"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.addClassCleanup(stop, cls.server)
        assert wait_for_port(cls.port, cls.server), "dirvane-httpd did not start"


if __name__ == "__main__":
    unittest.main()
