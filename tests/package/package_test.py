#!/usr/bin/env python3
"""The Debian packages from `cpack -G DEB`, as an administrator uses them:
installed with dpkg; the example folder served through lighttpd
(lighty-enable-mod) and through nginx with the FastCGI server started as
the installed manual says (whose links must lead to installed files),
Dirvane running as www-data in both and writing the access log into
/var/log/dirvane/; removed (nothing left running the program, no
server answering 500, only the configuration files stay), installed again
(the lighttpd module comes back only when it was on), purged (nothing the
packages or their programs made stays), and checked by lintian.

Installs into the system, so it needs root and skips (exit 77) without it,
and also when a Dirvane package or its lighttpd snippet is already there.
Whatever it installs it purges again. Screenshots of the first page go into
<build>/artifacts/package/ when chromium is installed.
"""

import glob
import grp
import html
import http.client
import os
import pwd
import re
import shlex
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import time
import urllib.parse

SKIP = 77
BUILD = os.environ["DIRVANE_BUILD"]
PACKAGES = ["vanecfg", "dirvane"]  # vanecfg depends on dirvane
PROGRAM = "/usr/lib/cgi-bin/Dirvane"
ENABLED = "/etc/lighttpd/conf-enabled/20-dirvane.conf"
AVAILABLE = "/etc/lighttpd/conf-available/20-dirvane.conf"
SETTINGS = "/etc/dirvane/Dirvane.ini"
SETTINGS_LINK = "/usr/lib/cgi-bin/Dirvane.ini"
APACHE_AVAILABLE = "/etc/apache2/sites-available/dirvane.conf"
APACHE_ENABLED = "/etc/apache2/sites-enabled/dirvane.conf"
NGINX_AVAILABLE = "/etc/nginx/sites-available/dirvane"
NGINX_ENABLED = "/etc/nginx/sites-enabled/dirvane"
NGINX_SNIPPET = "/etc/nginx/snippets/dirvane.conf"
NGINX_DEFAULT = "/etc/nginx/sites-available/default"
SERVICE_UNIT = "/lib/systemd/system/dirvane.service"
SOCKET_UNIT = "/lib/systemd/system/dirvane.socket"
SOCKET_WANTED = "/etc/systemd/system/sockets.target.wants/dirvane.socket"
SOCKET_FOLDER = "/run/dirvane"
LOG_FOLDER = "/var/log/dirvane"
ACCESS_LOG = LOG_FOLDER + "/access.log"
LOGROTATE = "/etc/logrotate.d/dirvane"
DOCS = "/usr/share/doc/dirvane"
README = DOCS + "/README.md"
FASTCGI_DOC = DOCS + "/docs/fastcgi.md"
CHECK_LINKS = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir,
                           "scripts", "check-doc-links.py")
TOOLS = ["cpack", "dpkg", "dpkg-shlibdeps", "lighttpd", "lighty-enable-mod", "lintian",
         "nginx", "spawn-fcgi"]
# Names the packages' files and their programs' files start with; the
# state folder of dirvane-httpd started as root is made by the tests that
# run it, not by the packages.
OWN_NAMES = ("dirvane", "vanecfg")
NOT_OURS = ("/var/lib/dirvane-httpd",)
SEARCHED = ["/etc", "/run", "/usr", "/var/lib", "/var/log", "/var/cache"]


def skip(why):
    print("SKIPPED: " + why)
    sys.exit(SKIP)


def run(*command, check=True, env=None):
    print("$ " + " ".join(command), flush=True)
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, env=env or dict(os.environ, LC_ALL="C.UTF-8"))
    print(done.stdout, end="" if done.stdout.endswith("\n") or not done.stdout else "\n",
          flush=True)
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
            return response.status, response.read().decode("utf-8", "replace")
        except ConnectionRefusedError:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.1)


def folder_links(page, base):
    """The page's links to folders, as addresses on the server."""
    return [urllib.parse.urljoin(base, html.unescape(href))
            for href in re.findall(r'<a href="([^"]*/)"', page)]


def owner(path):
    st = os.stat(path)
    return pwd.getpwuid(st.st_uid).pw_name, st.st_gid, stat.S_IMODE(st.st_mode)


def program_processes():
    """The processes running the installed program, also after its file was
    deleted: pid -> user id."""
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            exe = os.readlink("/proc/%s/exe" % entry)
            with open("/proc/%s/status" % entry) as f:
                uid = next(int(line.split()[1]) for line in f if line.startswith("Uid:"))
        except (OSError, StopIteration):
            continue
        if exe == PROGRAM or exe == PROGRAM + " (deleted)":
            found[int(entry)] = uid
    return found


def own_paths():
    """Every path under the searched folders whose name is one of ours."""
    found = set()
    for top in SEARCHED:
        for folder, dirs, files in os.walk(top):
            dirs[:] = [d for d in dirs if os.path.join(folder, d) not in NOT_OURS]
            for name in dirs + files:
                if name.lower().startswith(OWN_NAMES):
                    found.add(os.path.join(folder, name))
    return found


def build_packages(out):
    run("cpack", "-G", "DEB", "-B", out, "--config", os.path.join(BUILD, "CPackConfig.cmake"))
    arch = run("dpkg", "--print-architecture").stdout.strip()
    debs = {}
    for name in PACKAGES:
        found = glob.glob(os.path.join(out, "%s_*_%s.deb" % (name, arch)))
        expect(len(found) == 1, "cpack built one %s_<version>_%s.deb" % (name, arch))
        debs[name] = found[0]
    return debs


def check_installed_files():
    for path, kind in [("/usr/bin/Vanecfg", "the window program"),
                       ("/usr/share/applications/vanecfg.desktop", "its menu entry"),
                       ("/usr/lib/tmpfiles.d/dirvane.conf", "the socket folder's entry"),
                       (LOGROTATE, "the access logs' rotation")]:
        expect(os.path.isfile(path) and not os.path.islink(path), "%s is %s" % (path, kind))
    # Debian's shared ICU, declared through the shared libraries' records.
    for name in PACKAGES:
        depends = run("dpkg-query", "-W", "-f=${Depends}", name).stdout
        expect(re.search(r"\blibicu\d+ ", depends) is not None, name + " depends on libicu")
    cgi = set(os.listdir("/usr/lib/cgi-bin"))
    expect({"Dirvane", "Dirvane.ini"} <= cgi and not {"Vanecfg", "config.index.txt"} & cgi,
           "only Dirvane and its settings are in the CGI folder (%s)" % ", ".join(sorted(cgi)))
    expect(os.path.isdir(SOCKET_FOLDER), "the install made " + SOCKET_FOLDER)
    user, gid, mode = owner(LOG_FOLDER)
    expect((user, gid, mode) == ("www-data", grp.getgrnam("adm").gr_gid, 0o750),
           "%s is www-data's, group adm, mode 0750 (%s, %d, %o)" % (LOG_FOLDER, user, gid, mode))
    for command in ([PROGRAM, "--version"], [PROGRAM, "--help"],
                    ["dirvane-httpd", "--version"], ["dirvane-httpd", "--help"]):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        done = run(*command, check=False, env=dict(env, LC_ALL="C.UTF-8"))
        word = "0." if command[1] == "--version" else "usage:"
        expect(done.returncode == 0 and word in done.stdout,
               "%s answers on the terminal" % " ".join(command))
    analyze = shutil.which("systemd-analyze")
    if analyze and os.path.exists(SERVICE_UNIT):
        done = run(analyze, "security", "--offline=true", SERVICE_UNIT, check=False)
        rating = [line for line in done.stdout.splitlines() if "exposure level" in line]
        print("systemd-analyze security: " + (rating[-1].strip() if rating else "no rating"))
    # The README's links lead into the manual beside it.
    manual = [README] + sorted(glob.glob(DOCS + "/docs/*.md"))
    done = run(sys.executable, CHECK_LINKS, *manual, check=False)
    expect(done.returncode == 0 and len(manual) > 1,
           "the installed README and manual link only installed files %s" % done.stdout)


def make_site(work):
    """The installed example folder with a file of the test's own and a
    settings file that must not be served."""
    site = os.path.join(work, "site")
    shutil.copytree("/usr/share/dirvane/example", site)
    with open(os.path.join(site, "package-check.txt"), "w") as f:
        f.write("listed\n")
    with open(os.path.join(site, "secret.ini"), "w") as f:
        f.write("[index]\n")
    # www-data reaches the site through the work folder.
    os.chmod(work, 0o755)
    return site


def server_logs(work):
    """A folder for the servers' error logs, which they open as www-data."""
    logs = os.path.join(work, "logs")
    if not os.path.isdir(logs):
        os.mkdir(logs)
        www_data = pwd.getpwnam("www-data")
        os.chown(logs, www_data.pw_uid, www_data.pw_gid)
    return logs


def wait_until_served(server, port):
    deadline = time.monotonic() + 20
    while server.poll() is None and time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.1)
    raise AssertionError("the server on port %d did not start (exit %s)" % (port, server.poll()))


def start_lighttpd(work, site, port):
    """lighttpd configured as Debian's lighttpd.conf does it: the enabled
    modules of /etc/lighttpd/conf-enabled, run as www-data."""
    conf = os.path.join(work, "lighttpd.conf")
    with open(conf, "w") as f:
        f.write('server.document-root = "%s"\n' % site)
        f.write('server.bind = "127.0.0.1"\nserver.port = %d\n' % port)
        f.write('server.username = "www-data"\nserver.groupname = "www-data"\n')
        f.write('server.errorlog = "%s"\n' % os.path.join(server_logs(work), "lighttpd.log"))
        f.write('server.modules = ("mod_indexfile", "mod_access", "mod_alias")\n')
        f.write('include "/etc/lighttpd/conf-enabled/*.conf"\n')
        f.write('server.modules += ("mod_staticfile")\n')
    server = subprocess.Popen(["lighttpd", "-D", "-f", conf])
    wait_until_served(server, port)
    return server


def stop(server):
    server.terminate()
    server.wait(timeout=30)


def documented_fastcgi_start():
    """The spawn-fcgi command of the installed manual, continuation lines
    joined."""
    with open(FASTCGI_DOC) as f:
        text = f.read()
    found = re.search(r"^    (spawn-fcgi .*?[^\\])$", text, re.M | re.S)
    expect(found is not None, FASTCGI_DOC + " names a spawn-fcgi command")
    return shlex.split(found.group(1).replace("\\\n", " "))


def nginx_server_blocks(site, port):
    """Debian's default site with the snippet included when the package has
    one; else the package's whole site."""
    listen = "listen 127.0.0.1:%d" % port
    if os.path.exists(NGINX_SNIPPET):
        with open(NGINX_DEFAULT) as f:
            text = "\n".join(line for line in f.read().splitlines()
                             if not line.lstrip().startswith("#"))
        text = re.sub(r"listen \[::\][^;]*;", "", text)
        text = re.sub(r"listen 80", listen, text)
        text = re.sub(r"root [^;]*;", "root %s;\n\tinclude %s;" % (site, NGINX_SNIPPET), text,
                      count=1)
        return text, "Debian's default site with " + NGINX_SNIPPET
    with open(NGINX_AVAILABLE) as f:
        text = f.read()
    text = re.sub(r"listen 80;", listen + ";", text)
    text = re.sub(r"root [^;]*;", "root %s;" % site, text)
    return text, "the site " + NGINX_AVAILABLE


def start_nginx(work, site, port):
    temp = os.path.join(work, "nginx-temp")
    os.makedirs(temp)
    blocks, what = nginx_server_blocks(site, port)
    # The configuration's own folder holds what Debian's holds, so that
    # the sites' relative includes (fastcgi_params, snippets/) find it.
    folder = os.path.join(work, "nginx")
    os.mkdir(folder)
    for name in os.listdir("/etc/nginx"):
        os.symlink(os.path.join("/etc/nginx", name), os.path.join(folder, name))
    os.unlink(os.path.join(folder, "nginx.conf"))
    conf = os.path.join(folder, "nginx.conf")
    with open(conf, "w") as f:
        f.write("user www-data;\nworker_processes 1;\ndaemon off;\n")
        f.write("pid %s/nginx.pid;\nerror_log %s/nginx.log;\n" % (work, server_logs(work)))
        f.write("events {}\nhttp {\n    include /etc/nginx/mime.types;\n    access_log off;\n")
        # As Debian's nginx.conf: the package's upstream is in conf.d.
        f.write("    include /etc/nginx/conf.d/*.conf;\n")
        for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"):
            f.write("    %s_temp_path %s/%s;\n" % (kind, temp, kind))
        f.write(blocks + "\n}\n")
    print("nginx serves " + what, flush=True)
    server = subprocess.Popen(["nginx", "-p", work, "-c", conf])
    wait_until_served(server, port)
    return server


def check_listing(port, route):
    """The example's page: listed, every folder it shows lists in turn,
    and a settings file is not served."""
    code, page = get(port, "/")
    expect(code == 200, "%s: the folder's page is 200 (got %d)" % (route, code))
    expect("package-check.txt" in page, route + ": the page lists the folder's file")
    expect("Packaged listing of /" in page,
           route + ": the title comes from " + SETTINGS + " through " + SETTINGS_LINK)
    seen, todo = {"/"}, folder_links(page, "/")
    while todo:
        url = todo.pop()
        if url in seen or not url.startswith("/"):
            continue
        seen.add(url)
        code, sub = get(port, url)
        expect(code == 200, "%s: the folder link %s lists (got %d)"
               % (route, urllib.parse.unquote(url), code))
        todo += folder_links(sub, url)
    expect(len(seen) >= 5, "%s: followed %d folder links" % (route, len(seen)))
    code, _ = get(port, "/secret.ini")
    expect(code == 403, route + ": a settings file in the folder answers 403 (got %d)" % code)


def screenshots(port):
    chromium = shutil.which("chromium")
    if chromium is None:
        print("no chromium: no screenshots")
        return
    shots = os.path.join(BUILD, "artifacts", "package")
    os.makedirs(shots, exist_ok=True)
    for width, height in ((1280, 900), (390, 844)):
        path = os.path.join(shots, "first-page-%d.png" % width)
        subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu",
                        "--hide-scrollbars", "--window-size=%d,%d" % (width, height),
                        "--screenshot=" + path, "http://127.0.0.1:%d/" % port],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        print("screenshot: " + path)


def serve_first_page(work, site):
    """The page as the installed settings make it, before any change: the
    modern style, which declares a viewport."""
    port = free_port()
    server = start_lighttpd(work, site, port)
    try:
        code, page = get(port, "/")
        expect(code == 200 and 'name="viewport"' in page and '<table class="dv">' in page,
               "the first page after the install is the modern style's table (got %d)" % code)
        screenshots(port)
    finally:
        stop(server)


def check_access_log(work):
    """Both routes wrote records (the FastCGI server only can write as
    www-data); logrotate rotates them."""
    user = owner(ACCESS_LOG)[0]
    expect(user == "www-data", "Dirvane, as www-data, made " + ACCESS_LOG + " (%s)" % user)
    with open(ACCESS_LOG, "rb") as f:
        records = f.read().count(b"DIR=/")
    expect(records >= 10, "%s holds a record per page (%d)" % (ACCESS_LOG, records))
    if shutil.which("logrotate") is None:
        print("no logrotate: the rotation is not tried")
        return
    run("logrotate", "-f", "-s", os.path.join(work, "logrotate.state"), LOGROTATE)
    expect(os.path.isfile(ACCESS_LOG + ".1") and owner(ACCESS_LOG + ".1")[0] == "www-data",
           "logrotate moved the log to access.log.1, still www-data's")


def serve_both(work, site, servers):
    """The listing through lighttpd (mod_cgi) and through nginx (FastCGI);
    both servers and the FastCGI server keep running, for the remove: each
    goes into `servers` (name -> port, process) as it starts."""
    port = free_port()
    servers["lighttpd"] = (port, start_lighttpd(work, site, port))
    check_listing(port, "lighttpd")

    servers["fastcgi"] = (None, subprocess.Popen(documented_fastcgi_start()))
    deadline = time.monotonic() + 20
    while not os.path.exists(SOCKET_FOLDER + "/fcgi.sock") and time.monotonic() < deadline:
        time.sleep(0.1)
    port = free_port()
    servers["nginx"] = (port, start_nginx(work, site, port))
    check_listing(port, "nginx")
    users = program_processes()
    www_data = pwd.getpwnam("www-data").pw_uid
    expect(users and set(users.values()) == {www_data},
           "the FastCGI server started as the manual says runs as www-data (%s)" % users)


def remove(servers, work, site):
    run("dpkg", "-r", *PACKAGES)
    try:
        servers["fastcgi"][1].wait(timeout=30)
    except subprocess.TimeoutExpired:
        pass
    expect(not program_processes(), "no process runs the removed program")
    expect(not os.path.lexists(ENABLED) and os.path.exists(AVAILABLE),
           "the remove switched the lighttpd module off")
    # prerm reloads the system's lighttpd; the test's own is started again.
    stop(servers["lighttpd"][1])
    port = free_port()
    servers["lighttpd"] = (port, start_lighttpd(work, site, port))
    for name in ("lighttpd", "nginx"):
        code, _ = get(servers[name][0], "/")
        expect(code != 500, "after the remove %s does not answer 500 (got %d)" % (name, code))


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

    before = own_paths()
    work = tempfile.mkdtemp(prefix="dirvane-package-")
    made = []  # folders that enabling created, removed again when empty
    enabled = []
    servers = {}
    try:
        debs = build_packages(os.path.join(work, "out"))
        try:
            run("dpkg", "-i", debs["dirvane"], debs["vanecfg"])
            print("installed sizes (KiB): " + ", ".join(
                "%s %s" % (name, run("dpkg-query", "-W", "-f=${Installed-Size}", name).stdout)
                for name in PACKAGES))
            expect(os.path.realpath(SETTINGS_LINK) == SETTINGS,
                   SETTINGS_LINK + " leads to " + SETTINGS)
            conffiles = {line.split()[0] for line in run(
                "dpkg-query", "-W", "-f=${Conffiles}", "dirvane").stdout.splitlines()
                if line.strip()}
            expect({SETTINGS, AVAILABLE, LOGROTATE} <= conffiles,
                   "the settings, the lighttpd snippet and the rotation are conffiles")
            expect(not os.path.lexists(ENABLED), "the install enables no lighttpd module")
            check_installed_files()
            site = make_site(work)
            run("lighty-enable-mod", "dirvane")
            expect(os.path.islink(ENABLED), "lighty-enable-mod dirvane enabled " + ENABLED)
            serve_first_page(work, site)

            with open(SETTINGS) as f:
                shipped = f.read()
            with open(SETTINGS, "w") as f:
                f.write(shipped.replace("\n[index]\n", "\n[index]\ntitle=Packaged listing of %p"
                                        "\nlog=" + ACCESS_LOG + "\n", 1))
            enabled = enable_others(made)
            serve_both(work, site, servers)
            check_access_log(work)

            remove(servers, work, site)
            expect(status("dirvane") == "deinstall ok config-files",
                   "after dpkg -r dirvane is config-files (%s)" % status("dirvane"))
            expect("not-installed" in status("vanecfg"), "after dpkg -r vanecfg is gone")
            listed = run("dpkg", "-L", "dirvane").stdout.splitlines()
            left = {p for p in listed if os.path.isfile(p) or os.path.islink(p)}
            expect(left == conffiles, "only conffiles stay: " + ", ".join(sorted(left)))
            expect(not os.path.lexists(SETTINGS_LINK) and not os.path.exists(PROGRAM),
                   "the program and the link to its settings are gone")
            with open(SETTINGS) as f:
                expect("Packaged listing" in f.read(), "the changed settings stay")

            # Installed again, the module that was on is on again; switched
            # off by the administrator, it stays off through the next round.
            run("dpkg", "-i", debs["dirvane"], debs["vanecfg"])
            expect(os.path.islink(ENABLED), "the install switched the module on again")
            stop(servers["lighttpd"][1])
            port = free_port()
            servers["lighttpd"] = (port, start_lighttpd(work, site, port))
            check_listing(port, "lighttpd after the new install")
            run("lighty-disable-mod", "dirvane")
            run("dpkg", "-r", *PACKAGES)
            run("dpkg", "-i", debs["dirvane"], debs["vanecfg"])
            expect(not os.path.lexists(ENABLED), "a module switched off stays off")
        finally:
            for _, server in servers.values():
                if server.poll() is None:
                    stop(server)
            run("dpkg", "--purge", *PACKAGES, check=False)
        for name in PACKAGES:
            expect("not-installed" in status(name), "after the purge %s is gone" % name)
        for path in [SETTINGS, "/etc/dirvane", AVAILABLE, ENABLED, LOG_FOLDER,
                     SOCKET_FOLDER, LOGROTATE] + enabled:
            expect(not os.path.lexists(path), "after the purge %s is gone" % path)
        after = own_paths()
        expect(after == before, "nothing of the packages is left: %s"
               % (", ".join(sorted(after ^ before)) or "-"))

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


if __name__ == "__main__":
    main()
