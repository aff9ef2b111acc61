"""Dirvane over FastCGI behind nginx inside Debian's own nginx.conf: the
whole site of dist/fastcgi/nginx.conf, and the snippet nginx-snippet.conf
included in Debian's default site."""

import os
import re
import unittest

from dirvane_test.fastcgi_cases import AttackCases, FastCgiCases, WholeTreeCases
from dirvane_test.fastcgi_site import start_site
from dirvane_test.files import read_text
from dirvane_test.programs import sample
from dirvane_test.servers import NGINX, SPAWN_FCGI, start_nginx, start_nginx_sample, stop
from dirvane_test.servers import NGINX_DEBIAN as DEBIAN


def whole_tree(snippet, root):
    """The snippet with its whole-tree mode switched on for `root`."""
    head, sep, block = snippet.partition('#location ~ "^/pub/(.*/)?$" {')
    assert sep, "no whole-tree block"
    block, sep, tail = block.partition("#}")
    block = re.sub(r"(?m)^#", "", block)
    return head + 'location ~ "^%s(.*/)?$" {' % root + block + "}" + tail


def connections_to(socket_path):
    """The connections accepted on the Unix socket `socket_path` that are
    open now (each one's accepting end bears the socket's name)."""
    with open("/proc/net/unix") as f:
        rows = [line.split() for line in f.readlines()[1:]]
    # Num RefCount Protocol Flags Type St Inode Path; St 03 is connected.
    return sum(1 for row in rows if len(row) == 8 and row[7] == socket_path and row[5] == "03")


@unittest.skipUnless(NGINX and SPAWN_FCGI, "nginx and spawn-fcgi are not installed")
class Nginx(FastCgiCases, AttackCases, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = start_site(cls)
        cls.server = start_nginx_sample(site, cls.port)
        cls.addClassCleanup(stop, cls.server)

    def test_kept_connections_outlive_the_child_that_held_them(self):
        # nginx keeps its connection to Dirvane between requests. The child
        # ends after its 1000th request and closes the connection it holds;
        # nginx then sends the next request on a new one, and every request
        # is answered.
        cgi = self.site.cgi_page("bytes", "/bytes/config.index").partition(b"\r\n\r\n")[2]
        answers = [self.get("/bytes/") for _ in range(1100)]
        self.assertEqual([r.status for r in answers if r.status != 200], [])
        self.assertTrue(all(r.body == cgi for r in answers))
        self.assertGreater(connections_to(self.site.socket), 0)
        self.assertGreaterEqual(len({self.log_pid(line) for line in self.site.log_lines()[-1100:]}), 2)


@unittest.skipUnless(NGINX and SPAWN_FCGI and os.path.exists(DEBIAN + "/sites-available/default"),
                     "nginx, its Debian default site and spawn-fcgi are not installed")
class NginxSnippet(WholeTreeCases, unittest.TestCase):
    """Beside Debian's default site, in its server block, in whole-tree
    mode: every folder is listed, with its own config.index where it has
    one."""

    @classmethod
    def setUpClass(cls):
        site = start_site(cls)
        default = read_text(DEBIAN + "/sites-available/default")
        # In whole-tree mode for the whole site.
        snippet = whole_tree(sample("nginx-snippet.conf"), "/")
        default = re.sub(r"(?m)^\s*listen \[::\]:80 default_server;$", "", default)
        default = (default.replace("listen 80 default_server;",
                                   "listen 127.0.0.1:%d default_server;" % cls.port)
                   .replace("root /var/www/html;", "root %s;" % site.docroot)
                   .replace("server_name _;", "server_name _;\n\tinclude snippets/dirvane.conf;"))
        assert "include snippets/dirvane.conf;" in default
        cls.server = start_nginx(site, cls.port, {"default": default}, snippet)
        cls.addClassCleanup(stop, cls.server)


if __name__ == "__main__":
    unittest.main()
