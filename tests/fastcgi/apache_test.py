"""Dirvane over FastCGI behind Apache httpd, with dist/fastcgi/apache.conf."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fastcgi_run import (SPAWN_FCGI, FastCgiCases, FastCgiSite, find_program,  # noqa: E402
                         free_port, sample, stop, wait_for_port, write)

APACHE = find_program("apache2")
MODULES = "/usr/lib/apache2/modules"


@unittest.skipUnless(APACHE and SPAWN_FCGI, "apache2 and spawn-fcgi are not installed")
class Apache(FastCgiCases, unittest.TestCase):
    # mod_dir takes only a regular file for a folder's page.
    pipe_as_index = False

    @classmethod
    def setUpClass(cls):
        site = cls.site = FastCgiSite()
        cls.addClassCleanup(site.close)
        site.start_responder()
        cls.port = free_port()
        host = (sample("apache.conf")
                .replace("<VirtualHost *:80>", "<VirtualHost 127.0.0.1:%d>" % cls.port)
                .replace("/var/www/html", site.docroot)
                .replace("/run/dirvane/fcgi.sock", site.socket))
        prefix = os.path.join(site.root, "apache")
        modules = "".join("LoadModule %s_module %s/mod_%s.so\n" % (m, MODULES, m)
                          for m in ("mpm_event", "authz_core", "dir", "mime",
                                    "proxy", "proxy_fcgi"))
        conf = write(os.path.join(prefix, "apache2.conf"),
                     modules + "ServerName 127.0.0.1\nListen 127.0.0.1:%d\n"
                     "User www-data\nGroup www-data\nDefaultRuntimeDir %s\n"
                     "PidFile %s/apache2.pid\nErrorLog %s/error.log\n"
                     "TypesConfig /etc/mime.types\n%s\n"
                     % (cls.port, prefix, prefix, prefix, host))
        cls.server = subprocess.Popen([APACHE, "-DFOREGROUND", "-f", conf],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.addClassCleanup(stop, cls.server)
        assert wait_for_port(cls.port, cls.server), "apache2 did not start"


if __name__ == "__main__":
    unittest.main()
