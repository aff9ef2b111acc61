"""Dirvane over FastCGI behind Apache httpd inside Debian's own
/etc/apache2, with dist/fastcgi/apache.conf as the only site, and a folder
outside the document root under an Alias."""

import os
import re
import shutil
import subprocess
import unittest

from dirvane_test.accounts import WWW_DATA
from dirvane_test.client import get, wait_for_port
from dirvane_test.fastcgi_cases import AttackCases, FastCgiCases, WholeTreeCases
from dirvane_test.fastcgi_site import start_site
from dirvane_test.files import write
from dirvane_test.programs import find_program, sample
from dirvane_test.servers import SPAWN_FCGI, stop

APACHE = find_program("apache2")
DEBIAN = "/etc/apache2"


NEEDS = unittest.skipUnless(APACHE and SPAWN_FCGI and os.path.exists(DEBIAN + "/apache2.conf"),
                            "apache2 (as Debian installs it) and spawn-fcgi are not installed")


@NEEDS
class Apache(FastCgiCases, AttackCases, unittest.TestCase):
    # mod_dir takes only a regular file for a folder's page.
    pipe_as_index = False
    # The root of whole-tree mode, None for the per-folder mode.
    tree = None

    @classmethod
    def setUpClass(cls):
        site = start_site(cls)
        # A folder elsewhere, served under /aliased/ with the same rules.
        cls.aliased = os.path.join(site.root, "elsewhere")
        write(os.path.join(cls.aliased, "config.index"), "")
        write(os.path.join(cls.aliased, "aliased-name.txt"), "")
        host = (sample("apache.conf")
                .replace("<VirtualHost *:80>", "<VirtualHost 127.0.0.1:%d>" % cls.port)
                .replace("/run/dirvane/fcgi.sock", site.socket))
        directory = re.search(r"(?s)    <Directory /var/www/html>.*?</Directory>\n", host).group(0)
        host = host.replace(directory, directory + directory.replace(
            "/var/www/html", cls.aliased) + "    Alias /aliased/ %s/\n" % cls.aliased)
        if cls.tree:
            head, sep, block = host.partition("    #<Directory /var/www/html/pub>")
            block, _, tail = block.partition("    #</Directory>\n")
            assert sep, "no whole-tree block"
            host = head + re.sub(r"(?m)^    #", "    ", sep + block) + "    </Directory>\n" + tail
            host = host.replace("/var/www/html/pub", cls.tree)
        host = host.replace("/var/www/html", site.docroot)

        # Debian's configuration as installed, with the site's paths, port
        # and proxy_fcgi enabled (a2enmod); the site is the only one.
        prefix = os.path.join(site.root, "apache")
        etc = os.path.join(prefix, "etc")
        shutil.copytree(DEBIAN, etc, symlinks=True)
        write(os.path.join(etc, "ports.conf"), "Listen 127.0.0.1:%d\n" % cls.port)
        for module in ("proxy.load", "proxy.conf", "proxy_fcgi.load"):
            link = os.path.join(etc, "mods-enabled", module)
            if not os.path.lexists(link):
                os.symlink("../mods-available/" + module, link)
        shutil.rmtree(os.path.join(etc, "sites-enabled"))
        write(os.path.join(etc, "sites-enabled", "dirvane.conf"), host)
        user = WWW_DATA.pw_name if WWW_DATA else "#%d" % os.geteuid()
        env = dict(os.environ, APACHE_RUN_USER=user, APACHE_RUN_GROUP="#%d" % (
            WWW_DATA.pw_gid if WWW_DATA else os.getegid()),
            APACHE_PID_FILE=prefix + "/apache2.pid", APACHE_RUN_DIR=prefix,
            APACHE_LOCK_DIR=prefix, APACHE_LOG_DIR=prefix)
        cls.server = subprocess.Popen(
            [APACHE, "-d", etc, "-f", os.path.join(etc, "apache2.conf"), "-DFOREGROUND"],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.addClassCleanup(stop, cls.server)
        assert wait_for_port(cls.port, cls.server), "apache2 did not start"

    def test_a_folder_under_an_alias_lists_itself(self):
        r = get(self.port, "/aliased/")
        self.assertEqual(r.status, 200, r.body[:300])
        self.assertIn(b"aliased-name.txt", r.body)
        self.assertEqual(get(self.port, "/aliased/config.index").status, 403)



@NEEDS
class ApacheWholeTree(WholeTreeCases, unittest.TestCase):
    """In whole-tree mode for the whole site: every folder is listed, with
    its own config.index where it has one."""

    tree = "/var/www/html"
    setUpClass = classmethod(Apache.setUpClass.__func__)


if __name__ == "__main__":
    unittest.main()
