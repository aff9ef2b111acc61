"""Dirvane over FastCGI behind Caddy, with dist/fastcgi/Caddyfile in place
of Debian's site block, Caddy running as caddy as Debian runs it."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fastcgi_run import (AS_ROOT, SPAWN_FCGI, AttackCases, FastCgiCases,  # noqa: E402
                         FastCgiSite, account, find_program, free_port, sample, stop,
                         wait_for_port, write)

CADDY = find_program("caddy")


@unittest.skipUnless(CADDY and SPAWN_FCGI, "caddy and spawn-fcgi are not installed")
class Caddy(FastCgiCases, AttackCases, unittest.TestCase):
    follows_links = True

    @classmethod
    def setUpClass(cls):
        site = cls.site = FastCgiSite()
        cls.addClassCleanup(site.close)
        site.start_responder()
        cls.port = free_port()
        block = (sample("Caddyfile")
                 .replace(":80 {", "http://127.0.0.1:%d {" % cls.port)
                 .replace("/var/www/html", site.docroot)
                 .replace("/run/dirvane/fcgi.sock", site.socket))
        prefix = os.path.join(site.root, "caddy")
        conf = write(os.path.join(prefix, "Caddyfile"),
                     "{\n\tadmin off\n\tauto_https off\n}\n\n" + block)
        user = account("caddy") if AS_ROOT else None
        if user:
            os.chown(prefix, user.pw_uid, user.pw_gid)
        env = dict(os.environ, HOME=prefix, XDG_DATA_HOME=prefix, XDG_CONFIG_HOME=prefix)
        cls.server = subprocess.Popen([CADDY, "run", "--config", conf, "--adapter", "caddyfile"],
                                      env=env, user=user.pw_uid if user else None,
                                      group=user.pw_gid if user else None,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.addClassCleanup(stop, cls.server)
        assert wait_for_port(cls.port, cls.server), "caddy did not start"


if __name__ == "__main__":
    unittest.main()
