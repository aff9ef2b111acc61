#!/usr/bin/env python3
"""The Debian packages from `cpack -G DEB`: installed with dpkg, enabled
for lighttpd, a listing fetched through lighttpd on a private loopback port,
removed (only the configuration files stay) and purged (nothing stays), and
checked by lintian.

Installs into the system, so it needs root and skips (exit 77) without it,
and also when a Dirvane package or its lighttpd snippet is already there.
Whatever it installs it purges again.
"""

import glob
import http.client
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
BUILD = os.environ["DIRVANE_BUILD"]
PACKAGES = ["vanecfg", "dirvane"]  # vanecfg depends on dirvane
ENABLED = "/etc/lighttpd/conf-enabled/20-dirvane.conf"
AVAILABLE = "/etc/lighttpd/conf-available/20-dirvane.conf"
SETTINGS = "/etc/dirvane/Dirvane.ini"
SETTINGS_LINK = "/usr/lib/cgi-bin/Dirvane.ini"
APACHE_AVAILABLE = "/etc/apache2/sites-available/dirvane.conf"
APACHE_ENABLED = "/etc/apache2/sites-enabled/dirvane.conf"
NGINX_AVAILABLE = "/etc/nginx/sites-available/dirvane"
NGINX_ENABLED = "/etc/nginx/sites-enabled/dirvane"
SOCKET_UNIT = "/lib/systemd/system/dirvane.socket"
SOCKET_WANTED = "/etc/systemd/system/sockets.target.wants/dirvane.socket"
TOOLS = ["cpack", "dpkg", "dpkg-shlibdeps", "lighttpd", "lighty-enable-mod", "lintian"]


def skip(why):
    print("SKIPPED: " + why)
    sys.exit(SKIP)


def run(*command, check=True):
    print("$ " + " ".join(command), flush=True)
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, env=dict(os.environ, LC_ALL="C.UTF-8"))
    print(done.stdout, end="", flush=True)
    if check and done.returncode != 0:
        raise AssertionError("exit status %d: %s" % (done.returncode, " ".join(command)))
    return done


def status(package):
    done = subprocess.run(["dpkg-query", "-W", "-f=${Status}", package],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return done.stdout if done.returncode == 0 else "unknown ok not-installed"


def expect(condition, what):
    if not condition:
        raise AssertionError(what)
    print("ok: " + what, flush=True)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def get(port, path):
    deadline = time.monotonic() + 20
    while True:
        try:
            connection = http.client.HTTPConnection("127.0.0.1", port, timeout=20)
            connection.request("GET", path)
            response = connection.getresponse()
            return response.status, response.read().decode("latin-1")
        except ConnectionRefusedError:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.1)


def build_packages(out):
    run("cpack", "-G", "DEB", "-B", out, "--config", os.path.join(BUILD, "CPackConfig.cmake"))
    arch = run("dpkg", "--print-architecture").stdout.strip()
    debs = {}
    for name in PACKAGES:
        found = glob.glob(os.path.join(out, "%s_*_%s.deb" % (name, arch)))
        expect(len(found) == 1, "cpack built one %s_<version>_%s.deb" % (name, arch))
        debs[name] = found[0]
    return debs


def serve_listing(work):
    """lighttpd with a private configuration that includes the enabled
    snippet; the page of a folder with the template settings file."""
    site = os.path.join(work, "site")
    os.makedirs(site)
    shutil.copy("/usr/share/dirvane/config.index", site)
    with open(os.path.join(site, "package-check.txt"), "w") as f:
        f.write("listed\n")
    with open(os.path.join(site, "secret.ini"), "w") as f:
        f.write("[index]\n")
    port = free_port()
    conf = os.path.join(work, "lighttpd.conf")
    with open(conf, "w") as f:
        f.write('server.document-root = "%s"\n' % site)
        f.write('server.bind = "127.0.0.1"\nserver.port = %d\n' % port)
        f.write('server.errorlog = "%s"\n' % os.path.join(work, "error.log"))
        f.write('server.modules = ("mod_indexfile", "mod_access")\n')
        f.write('include "%s"\n' % ENABLED)
        f.write('server.modules += ("mod_staticfile")\n')
    server = subprocess.Popen(["lighttpd", "-D", "-f", conf])
    try:
        code, page = get(port, "/")
        expect(code == 200, "the folder's page through lighttpd: 200 (got %d)" % code)
        expect("package-check.txt" in page, "the page lists the folder's file")
        expect("Packaged listing of /" in page,
               "the title comes from " + SETTINGS + " through " + SETTINGS_LINK)
        code, _ = get(port, "/secret.ini")
        expect(code == 403, "a settings file in the folder answers 403 (got %d)" % code)
    finally:
        server.terminate()
        server.wait(timeout=30)


def enable_others(made):
    """Enables, as an administrator would, the FastCGI sites and the socket
    unit when the package has them; returns what the purge must take back."""
    others = []
    for folder in ["/var/lib/apache2/site/enabled_by_admin",
                   "/etc/systemd/system/sockets.target.wants"]:
        if not os.path.isdir(folder):
            made.append(folder)
    if os.path.exists(APACHE_AVAILABLE) and shutil.which("a2ensite"):
        run("a2ensite", "-q", "dirvane")
        expect(os.path.islink(APACHE_ENABLED), "a2ensite dirvane enabled " + APACHE_ENABLED)
        others += [APACHE_ENABLED, "/var/lib/apache2/site/enabled_by_admin/dirvane"]
    if os.path.exists(NGINX_AVAILABLE) and os.path.isdir(os.path.dirname(NGINX_ENABLED)):
        os.symlink(NGINX_AVAILABLE, NGINX_ENABLED)
        others.append(NGINX_ENABLED)
    if os.path.exists(SOCKET_UNIT) and shutil.which("systemctl"):
        run("systemctl", "enable", "dirvane.socket")
        expect(os.path.islink(SOCKET_WANTED), "systemctl enable made " + SOCKET_WANTED)
        others.append(SOCKET_WANTED)
    return others


def main():
    if os.geteuid() != 0:
        skip("installs Debian packages into the system: run as root")
    missing = [t for t in TOOLS if shutil.which(t) is None]
    if missing:
        skip("missing " + ", ".join(missing) + " (scripts/install-deps.sh)")
    for name in PACKAGES:
        if "not-installed" not in status(name):
            skip("the package %s is on this machine (%s)" % (name, status(name)))
    if os.path.lexists(ENABLED) or os.path.lexists(AVAILABLE):
        skip(AVAILABLE + " is on this machine")

    work = tempfile.mkdtemp(prefix="dirvane-package-")
    made = []  # folders that enabling created, removed again when empty
    enabled = []
    try:
        debs = build_packages(os.path.join(work, "out"))
        try:
            run("dpkg", "-i", debs["dirvane"], debs["vanecfg"])
            expect(os.path.realpath(SETTINGS_LINK) == SETTINGS,
                   SETTINGS_LINK + " leads to " + SETTINGS)
            conffiles = {line.split()[0] for line in run(
                "dpkg-query", "-W", "-f=${Conffiles}", "dirvane").stdout.splitlines()
                if line.strip()}
            expect({SETTINGS, AVAILABLE} <= conffiles,
                   "the settings and the lighttpd snippet are conffiles")
            with open(SETTINGS, "w") as f:
                f.write("[index]\ntitle=Packaged listing of %p\n")
            run("lighty-enable-mod", "dirvane")
            expect(os.path.islink(ENABLED), "lighty-enable-mod dirvane enabled " + ENABLED)
            enabled = enable_others(made)
            serve_listing(work)

            run("dpkg", "-r", *PACKAGES)
            expect(status("dirvane") == "deinstall ok config-files",
                   "after dpkg -r dirvane is config-files (%s)" % status("dirvane"))
            expect("not-installed" in status("vanecfg"), "after dpkg -r vanecfg is gone")
            listed = run("dpkg", "-L", "dirvane").stdout.splitlines()
            left = {p for p in listed if os.path.isfile(p) or os.path.islink(p)}
            expect(left == conffiles, "only conffiles stay: " + ", ".join(sorted(left)))
            expect(not os.path.lexists(SETTINGS_LINK) and
                   not os.path.exists("/usr/lib/cgi-bin/Dirvane"),
                   "the program and the link to its settings are gone")
            with open(SETTINGS) as f:
                expect("Packaged listing" in f.read(), "the changed settings stay")
        finally:
            run("dpkg", "--purge", *PACKAGES, check=False)
        for name in PACKAGES:
            expect("not-installed" in status(name), "after the purge %s is gone" % name)
        for path in [SETTINGS, "/etc/dirvane", AVAILABLE, ENABLED] + enabled:
            expect(not os.path.lexists(path), "after the purge %s is gone" % path)

        lint = run("lintian", "--fail-on", "error", "--tag-display-limit", "0",
                   debs["dirvane"], debs["vanecfg"], check=False)
        tags = [line.split(":", 1)[0] for line in lint.stdout.splitlines()
                if len(line) > 2 and line[1] == ":" and line[0] in "EWIPX"]
        print("lintian summary: %d errors, %d warnings, %d info"
              % tuple(tags.count(k) for k in "EWI"))
        expect(lint.returncode == 0 and "E" not in tags, "lintian reports no errors")
    finally:
        shutil.rmtree(work, ignore_errors=True)
        for folder in reversed(made):
            try:
                os.rmdir(folder)
            except OSError:
                pass
    print("PASSED")


if __name__ == "__main__":
    main()
