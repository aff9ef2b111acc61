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
from fastcgi_run import (SPAWN_FCGI, WWW_DATA, FastCgiCases, AttackCases,  # noqa: E402
                         WholeTreeCases, find_program, read_text, sample, start_site, stop,
                         wait_for_port, write)

NGINX = find_program("nginx")
DEBIAN = "/etc/nginx"


def whole_tree(snippet, root):
    """The snippet with its whole-tree mode switched on for `root`."""
    head, sep, block = snippet.partition('#location ~ "^/pub/(.*/)?$" {')
    assert sep, "no whole-tree block"
    block, sep, tail = block.partition("#}")
    block = re.sub(r"(?m)^#", "", block)
    return head + 'location ~ "^%s(.*/)?$" {' % root + block + "}" + tail


def start_nginx(site, port, sites, snippet=None):
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
          (snippet or sample("nginx-snippet.conf")).replace("/run/dirvane/fcgi.sock",
                                                            site.socket))
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
        site = start_site(cls)
        whole = (sample("nginx.conf")
                 .replace("listen 80;", "listen 127.0.0.1:%d;" % cls.port)
                 .replace("/var/www/html", site.docroot))
        cls.server = start_nginx(site, cls.port, {"dirvane": whole})
        cls.addClassCleanup(stop, cls.server)


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
