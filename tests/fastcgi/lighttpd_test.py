"""Dirvane behind lighttpd inside Debian's own lighttpd.conf: the FastCGI
sample dist/fastcgi/lighttpd.conf (lighttpd, as www-data, starts Dirvane
itself with bin-path) and the packaged CGI snippet dist/lighttpd/
20-dirvane.conf; and dirvane-httpd --fastcgi."""

import os
import re
import subprocess
import unittest

from dirvane_test.accounts import WWW_DATA
from dirvane_test.client import get, wait_for_port
from dirvane_test.fastcgi_cases import AttackCases, FastCgiCases
from dirvane_test.fastcgi_site import start_site
from dirvane_test.files import read_text, write
from dirvane_test.programs import HTTPD, sample
from dirvane_test.servers import LIGHTTPD, stop

DEBIAN = "/etc/lighttpd/lighttpd.conf"


def start_lighttpd(site, port, part):
    """Debian's lighttpd.conf with the site's paths and port, `part` in
    place of conf-enabled/, and /run/lighttpd and /var/log/lighttpd as
    Debian makes them (www-data, 0750): one folder here."""
    prefix = os.path.join(site.root, "lighttpd")
    run = os.path.join(prefix, "run")
    os.makedirs(run)
    os.chmod(run, 0o750)
    if WWW_DATA:
        os.chown(run, WWW_DATA.pw_uid, WWW_DATA.pw_gid)
    conf = read_text(DEBIAN)
    for key, value in (("server.document-root", '"%s"' % site.docroot),
                       ("server.upload-dirs", '( "%s" )' % run),
                       ("server.errorlog", '"%s/error.log"' % run),
                       ("server.pid-file", '"%s/lighttpd.pid"' % prefix),
                       ("server.port", '%d\nserver.bind = "127.0.0.1"' % port)):
        conf = re.sub(r"(?m)^%s\s*=.*$" % re.escape(key), "%s = %s" % (key, value), conf)
    if not WWW_DATA:
        conf = re.sub(r"(?m)^server\.(username|groupname)\s*=.*$", "", conf)
    # Only IPv4 on loopback; the sample is the one enabled module.
    conf = re.sub(r'(?m)^include_shell "/usr/share/lighttpd/use-ipv6.pl.*$', "", conf)
    conf = conf.replace('include "/etc/lighttpd/conf-enabled/*.conf"',
                        'include "%s/dirvane.conf"' % prefix)
    write(os.path.join(prefix, "dirvane.conf"),
          part.replace("/usr/lib/cgi-bin/Dirvane", site.program)
          .replace("/run/lighttpd/", run + "/"))
    path = write(os.path.join(prefix, "lighttpd.conf"), conf)
    server = subprocess.Popen([LIGHTTPD, "-D", "-f", path],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    assert wait_for_port(port, server), "lighttpd did not start"
    return server


@unittest.skipUnless(LIGHTTPD and os.path.exists(DEBIAN), "lighttpd is not installed")
class Lighttpd(FastCgiCases, AttackCases, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = start_site(cls, responder=False)
        # A folder with the server's own index page keeps it.
        write(os.path.join(site.docroot, "web", "index.html"), "the site's own page")
        write(os.path.join(site.docroot, "web", "config.index"), "")
        cls.server = start_lighttpd(site, cls.port, sample("lighttpd.conf"))
        cls.addClassCleanup(stop, cls.server)

    def test_the_servers_own_index_page_comes_first(self):
        self.assertEqual(get(self.port, "/web/").body, b"the site's own page")


@unittest.skipUnless(LIGHTTPD and os.path.exists(DEBIAN), "lighttpd is not installed")
class LighttpdSnippet(AttackCases, unittest.TestCase):
    """The packaged snippet: Dirvane as a CGI program."""

    @classmethod
    def setUpClass(cls):
        site = start_site(cls, responder=False)
        cls.server = start_lighttpd(site, cls.port, sample("20-dirvane.conf", "lighttpd"))
        cls.addClassCleanup(stop, cls.server)


@unittest.skipUnless(LIGHTTPD and HTTPD, "lighttpd or dirvane-httpd is missing")
class DirvaneHttpd(FastCgiCases, AttackCases, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = start_site(cls, responder=False)
        state = os.path.join(site.root, "state")
        os.makedirs(state)
        os.chmod(state, 0o777)
        env = dict(os.environ, DIRVANE_REGISTRY=os.path.join(site.root, "registry.reg"))
        subprocess.run([HTTPD, "--register", "--cgi", site.program], env=env, check=True,
                       capture_output=True, timeout=60)
        cls.server = subprocess.Popen(
            [HTTPD, "--root", site.docroot, "--port", str(cls.port), "--state", state,
             "--fastcgi"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.addClassCleanup(stop, cls.server)
        assert wait_for_port(cls.port, cls.server), "dirvane-httpd did not start"


if __name__ == "__main__":
    unittest.main()
