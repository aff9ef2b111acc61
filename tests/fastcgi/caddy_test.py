"""Dirvane over FastCGI behind Caddy, with dist/fastcgi/Caddyfile in place
of Debian's site block, Caddy running as caddy as Debian runs it."""

import os
import re
import subprocess
import unittest

from dirvane_test.accounts import AS_ROOT, account
from dirvane_test.client import wait_for_port
from dirvane_test.fastcgi_cases import AttackCases, FastCgiCases, WholeTreeCases
from dirvane_test.fastcgi_site import start_site
from dirvane_test.files import write
from dirvane_test.programs import find_program, sample
from dirvane_test.servers import SPAWN_FCGI, stop

CADDY = find_program("caddy")


def whole_tree(caddyfile, root):
    """The Caddyfile with its whole-tree matcher in place of the
    per-folder one, for `root`."""
    per_folder = "\t@folder {\n\t\tpath */\n\t\tfile {path}config.index\n\t}\n"
    tree = re.search(r"(?m)^\t#@folder \{\n(\t#.*\n){3}", caddyfile).group(0)
    caddyfile = caddyfile.replace(tree, "").replace(
        per_folder, re.sub(r"(?m)^\t#", "\t", tree).replace("^/pub/", "^%s" % root))
    assert "path_regexp ^%s" % root in caddyfile
    return caddyfile


@unittest.skipUnless(CADDY and SPAWN_FCGI, "caddy and spawn-fcgi are not installed")
class Caddy(FastCgiCases, AttackCases, unittest.TestCase):
    follows_links = True
    tree = None

    @classmethod
    def setUpClass(cls):
        site = start_site(cls)
        caddyfile = sample("Caddyfile")
        if cls.tree:
            caddyfile = whole_tree(caddyfile, cls.tree)
        block = (caddyfile
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


@unittest.skipUnless(CADDY and SPAWN_FCGI, "caddy and spawn-fcgi are not installed")
class CaddyWholeTree(WholeTreeCases, unittest.TestCase):
    """In whole-tree mode for the whole site: every folder is listed, with
    its own config.index where it has one."""

    follows_links = True
    tree = "/"
    setUpClass = classmethod(Caddy.setUpClass.__func__)


if __name__ == "__main__":
    unittest.main()
