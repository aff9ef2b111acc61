"""The visitor's options behind nginx, with Dirvane as a FastCGI server
started by spawn-fcgi (dist/fastcgi/nginx.conf): the visitor cases that
tests/server runs behind lighttpd, on the FastCGI site behind nginx."""

import unittest

from dirvane_test.client import request
from dirvane_test.fastcgi_site import start_site
from dirvane_test.servers import NGINX, SPAWN_FCGI, start_nginx_sample, stop
from dirvane_test.visitor_cases import VisitorCases, fill_site


@unittest.skipUnless(NGINX and SPAWN_FCGI, "nginx and spawn-fcgi are not installed")
class VisitorThroughNginx(VisitorCases, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Dirvane reads its settings for each request: the site's settings
        # and folders may follow the start.
        site = start_site(cls)
        cls.server = start_nginx_sample(site, cls.port)
        cls.addClassCleanup(stop, cls.server)
        cls.site.write_ini(30, "charset=UTF-8\n")
        cls.docroot = cls.site.docroot
        fill_site(cls.docroot)

    def fetch(self, path, headers=None):
        return request(self.port, path, headers)


if __name__ == "__main__":
    unittest.main()
