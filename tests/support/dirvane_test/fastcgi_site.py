"""The site every FastCGI server test shares: a program folder with
Dirvane.ini, a document root with hostile names and what a folder owner
and a visitor try, and Dirvane started by spawn-fcgi on a socket."""

import os
import shutil
import subprocess
import tempfile
import time

from .accounts import OWNER, WWW_DATA
from .client import UA, free_port
from .files import write
from .byte_names import fill_bytes_folder
from .programs import BIN
from .records import settled_log_lines
from .servers import SPAWN_FCGI, stop

# Settings, logs and what the default ignore lists hide, in several letter
# cases; none is handed out.
HIDDEN_NAMES = (b"site.ini", b"Site.INI", b"notes.log", b"NOTES.LOG", b"old.Bak", b"a.obj",
                b"b.BIN", b"vv.path", b"VV.NOLOG", b"Other.INDEX")


class FastCgiSite:
    """The site: every folder the cases list, Dirvane.ini with the access
    log and a time-out of 2 s, and Dirvane listening on `self.socket`."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="dirvane-fcgi-")
        # The servers' workers run as an unprivileged user: they must reach
        # the files and the socket.
        os.chmod(self.root, 0o755)
        self.cgi_dir = os.path.join(self.root, "cgi")
        self.docroot = os.path.join(self.root, "pub")
        self.log = os.path.join(self.root, "logs", "access.log")
        self.socket = os.path.join(self.root, "run", "fcgi.sock")
        for folder in (self.cgi_dir, self.docroot, os.path.dirname(self.log),
                       os.path.dirname(self.socket)):
            os.makedirs(folder)
            os.chmod(folder, 0o755)
        # Dirvane may run as the server's user and writes the access log.
        os.chmod(os.path.dirname(self.log), 0o777)
        self.program = os.path.join(self.cgi_dir, "Dirvane")
        os.symlink(os.path.abspath(BIN), self.program)
        self.write_ini(2)
        # The same program without the access log, for runs as a CGI program.
        self.direct = os.path.join(self.root, "direct", "Dirvane")
        os.makedirs(os.path.dirname(self.direct))
        os.symlink(os.path.abspath(BIN), self.direct)
        write(self.direct + ".ini", "")

        d = os.fsencode(self.docroot)
        write(os.path.join(d, b"config.index"), "")
        write(os.path.join(d, b"readme.txt"), "readme.txt")
        fill_bytes_folder(os.path.join(d, b"bytes"))
        write(os.path.join(d, b"gone", b"config.index"),
              "[index]\nnolist=1\nresult=404\nhtml=<body>gone away</body>\n")
        # A page of some megabytes, more than the sockets on its way hold.
        write(os.path.join(d, b"big", b"config.index"), "")
        for i in range(20000):
            write(os.path.join(d, b"big", b"file-with-a-longer-name-%05d.txt" % i), b"")
        # What the listing hides, in other letter cases too.
        for name in HIDDEN_NAMES:
            write(os.path.join(d, b"hidden", name), b"")
        # A folder settings file that is a named pipe: it is not a regular
        # file, so it reads as an empty one instead of blocking the request.
        os.makedirs(os.path.join(d, b"slow"))
        os.mkfifo(os.path.join(d, b"slow", b"config.index"))
        self.plant_attacks()
        self.responder = None
        # The number of child processes when the site starts Dirvane itself
        # (one: every request goes to the child that answered the one
        # before), None when the web server does.
        self.children = None

    def write_ini(self, timeout, extra=""):
        write(os.path.join(self.cgi_dir, "Dirvane.ini"),
              ";settings-of-the-site\n[index]\ntimeout=%d\nlog=%s\n%s"
              % (timeout, self.log, extra))

    def plant_attacks(self):
        """What a folder owner and a visitor try (ATTACKS): links out of the
        root and to hidden files, dot-files, folders with a hidden ending, a
        closed folder with settings files beside it."""
        d = self.docroot
        private = os.path.join(self.root, "private")
        write(os.path.join(private, "config.index"), "")
        write(os.path.join(private, "private-name.txt"), "private-content")
        write(os.path.join(d, "config.index"), "[ignore]\nroot-hidden-name.txt=1\n")
        write(os.path.join(d, "root-hidden-name.txt"), "")
        write(os.path.join(d, "sub", "dirvane.log"), "sublog-content")
        write(os.path.join(d, ".well-known", "probe.txt"), "well-known-content")
        owner = os.path.join(d, "owner")
        write(os.path.join(owner, "config.index"), "")
        write(os.path.join(owner, "plain.txt"), "plain-content")
        for name, target in (("settings.txt", os.path.join(self.cgi_dir, "Dirvane.ini")),
                             ("adminlog.txt", self.log), ("sublog.txt", "../sub/dirvane.log"),
                             ("outside", private), ("rootlink", "/")):
            os.symlink(target, os.path.join(owner, name))
        write(os.path.join(owner, ".env"), "PASSWORD=dot-content")
        write(os.path.join(owner, ".git", "config"), "dot-content")
        write(os.path.join(owner, ".hidden", "config.index"), "")
        write(os.path.join(owner, ".hidden", "dot-folder-name.txt"), "dot-content")
        for folder in ("bak.bak", "logs.log", "hidden.index"):
            write(os.path.join(d, folder, "config.index"), "")
            write(os.path.join(d, folder, "ending-folder-name.txt"), "ending-content")
        closed = os.path.join(d, "closed")
        write(os.path.join(closed, "config.index"),
              "[index]\nnolist=1\nresult=403\nhtml=<body>closed</body>\n")
        write(os.path.join(closed, "closed-folder-name.txt"), "")
        write(os.path.join(closed, "open.index"), "")
        write(os.path.join(closed, "open.index.d", "config.index"), "")
        write(os.path.join(closed, "open.index.d", "d-inner-name.txt"), "")
        if OWNER:
            for folder, dirs, files in os.walk(owner):
                for name in [folder] + [os.path.join(folder, n) for n in dirs + files]:
                    os.lchown(name, OWNER.pw_uid, OWNER.pw_gid)

    def start_responder(self):
        self.children = 1
        # A server may leave descriptors open for its program: a spare one
        # among those a request opens is no request's.
        spare = os.open(os.devnull, os.O_RDONLY)
        try:
            self.responder = subprocess.Popen(
                [SPAWN_FCGI, "-n", "-s", self.socket, "-M", "0666"]
                + (["-u", "www-data", "-g", "www-data"] if WWW_DATA else [])
                + ["--", self.program],
                env=dict(os.environ, DIRVANE_FASTCGI_CHILDREN=str(self.children)),
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(spare,))
        finally:
            os.close(spare)
        deadline = time.monotonic() + 20
        while not os.path.exists(self.socket):
            assert self.responder.poll() is None, "spawn-fcgi ended"
            assert time.monotonic() < deadline, "no socket"
            time.sleep(0.02)

    def close(self):
        stop(self.responder)
        shutil.rmtree(self.root, ignore_errors=True)

    def log_lines(self):
        return settled_log_lines(self.log)

    def cgi_page(self, folder, script_name):
        """Dirvane's output as a CGI program, as lighttpd's mod_cgi runs it."""
        env = {"PATH": "/usr/bin:/bin", "SCRIPT_NAME": script_name, "HTTP_USER_AGENT": UA,
               "REMOTE_ADDR": "127.0.0.1"}
        folder = os.path.join(self.docroot, folder)
        done = subprocess.run([self.direct, os.path.join(folder, "config.index")], cwd=folder,
                              env=env, capture_output=True, timeout=60)
        return done.stdout


def start_site(cls, responder=True):
    """Gives the test class `cls` its site (removed after its tests) and a
    free port; with `responder`, Dirvane listens on the site's socket."""
    site = cls.site = FastCgiSite()
    cls.addClassCleanup(site.close)
    if responder:
        site.start_responder()
    cls.port = free_port()
    return site
