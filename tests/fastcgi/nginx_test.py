"""Dirvane over FastCGI behind nginx, with dist/fastcgi/nginx.conf."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fastcgi_run import (SPAWN_FCGI, FastCgiCases, FastCgiSite, find_program,  # noqa: E402
                         free_port, sample, stop, wait_for_port, write)

NGINX = find_program("nginx")


@unittest.skipUnless(NGINX and SPAWN_FCGI, "nginx and spawn-fcgi are not installed")
class Nginx(FastCgiCases, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = cls.site = FastCgiSite()
        cls.addClassCleanup(site.close)
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


if __name__ == "__main__":
    unittest.main()
