"""The visitor's options behind nginx, with Dirvane as a FastCGI server
started by spawn-fcgi (dist/fastcgi/nginx.conf): the cases of
tests/server/visitor_test.py, on the site and server of nginx_test.py."""

import os
import sys
import types
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "server"))
import nginx_test  # noqa: E402  (not its class by name: it would run here too)
from fastcgi_run import SPAWN_FCGI  # noqa: E402
from server_run import Site  # noqa: E402
from visitor_test import VisitorCases, fill_site  # noqa: E402


@unittest.skipUnless(nginx_test.NGINX and SPAWN_FCGI, "nginx and spawn-fcgi are not installed")
class VisitorThroughNginx(VisitorCases, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Dirvane reads its settings for each request: the site's settings
        # and folders may follow the start.
        nginx_test.Nginx.setUpClass.__func__(cls)
        cls.site.write_ini(30, "charset=UTF-8\n")
        cls.docroot = cls.site.docroot
        fill_site(cls.docroot)

    def fetch(self, path, headers=None):
        return Site.request(types.SimpleNamespace(port=self.port), path, headers)


if __name__ == "__main__":
    unittest.main()
