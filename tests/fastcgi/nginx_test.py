"""Dirvane over FastCGI behind nginx inside Debian's own nginx.conf: the
whole site of dist/fastcgi/nginx.conf, and the snippet nginx-snippet.conf
included in Debian's default site."""

import os
import re
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fastcgi_run import (SPAWN_FCGI, WWW_DATA, AttackCases, FastCgiCases,  # noqa: E402
                         FastCgiSite, find_program, free_port, get, read_text, sample,
                         stop, wait_for_port, write)

NGINX = find_program("nginx")
DEBIAN = "/etc/nginx"


def start_nginx(site, port, sites):
    """Debian's /etc/nginx copied into the site, with its own paths, the
    snippet in snippets/dirvane.conf and `sites` (name to text) as the only
    enabled sites; nginx runs as www-data when started as root."""
    prefix = os.path.join(site.root, "nginx")
    shutil.copytree(DEBIAN, prefix, symlinks=True)
    main = read_text(os.path.join(prefix, "nginx.conf"))
    main = (main.replace(DEBIAN + "/", prefix + "/")
            .replace("/run/nginx.pid", prefix + "/nginx.pid")
            .replace("/var/log/nginx/", prefix + "/")
            .replace("worker_processes auto;", "worker_processes 1;"))
    if not WWW_DATA:
        main = re.sub(r"(?m)^user .*$", "", main)
    write(os.path.join(prefix, "nginx.conf"), main)
    write(os.path.join(prefix, "snippets", "dirvane.conf"),
          sample("nginx-snippet.conf").replace("/run/dirvane/fcgi.sock", site.socket))
    enabled = os.path.join(prefix, "sites-enabled")
    shutil.rmtree(enabled)
    for name, text in sites.items():
        write(os.path.join(enabled, name), text)
    server = subprocess.Popen([NGINX, "-p", prefix, "-c", os.path.join(prefix, "nginx.conf"),
                               "-g", "daemon off;"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    assert wait_for_port(port, server), "nginx did not start"
    return server


@unittest.skipUnless(NGINX and SPAWN_FCGI, "nginx and spawn-fcgi are not installed")
class Nginx(FastCgiCases, AttackCases, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = cls.site = FastCgiSite()
        cls.addClassCleanup(site.close)
        site.start_responder()
        cls.port = free_port()
        whole = (sample("nginx.conf")
                 .replace("listen 80;", "listen 127.0.0.1:%d;" % cls.port)
                 .replace("/var/www/html", site.docroot))
        cls.server = start_nginx(site, cls.port, {"dirvane": whole})
        cls.addClassCleanup(stop, cls.server)


@unittest.skipUnless(NGINX and SPAWN_FCGI and os.path.exists(DEBIAN + "/sites-available/default"),
                     "nginx, its Debian default site and spawn-fcgi are not installed")
class NginxSnippet(AttackCases, unittest.TestCase):
    """Beside Debian's default site, in its server block: its own index
    names come first, config.index after them."""

    @classmethod
    def setUpClass(cls):
        site = cls.site = FastCgiSite()
        cls.addClassCleanup(site.close)
        site.start_responder()
        cls.port = free_port()
        default = read_text(DEBIAN + "/sites-available/default")
        default = re.sub(r"(?m)^\s*listen \[::\]:80 default_server;$", "", default)
        default = (default.replace("listen 80 default_server;",
                                   "listen 127.0.0.1:%d default_server;" % cls.port)
                   .replace("root /var/www/html;", "root %s;" % site.docroot)
                   .replace("server_name _;", "server_name _;\n\tinclude snippets/dirvane.conf;"))
        assert "include snippets/dirvane.conf;" in default
        write(os.path.join(site.docroot, "web", "index.html"), "the site's own page")
        cls.server = start_nginx(site, cls.port, {"default": default})
        cls.addClassCleanup(stop, cls.server)

    def test_the_default_sites_pages_come_first(self):
        self.assertEqual(get(self.port, "/web/").body, b"the site's own page")
        self.assertEqual(get(self.port, "/").status, 200)


if __name__ == "__main__":
    unittest.main()
