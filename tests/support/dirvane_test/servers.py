"""The real web servers and spawn-fcgi: where they are, and how a test
starts and stops them."""

import os
import re
import shutil
import signal
import subprocess

from .accounts import WWW_DATA
from .client import wait_for_port
from .files import read_text, write
from .programs import find_program, sample

LIGHTTPD = find_program("lighttpd")
NO_LIGHTTPD = "lighttpd is not installed (apt-get install lighttpd)"
SPAWN_FCGI = shutil.which("spawn-fcgi")
NGINX = find_program("nginx")
NGINX_DEBIAN = "/etc/nginx"


def stop(process, sig=signal.SIGTERM):
    """Ends a process that still runs by `sig`, by force after 15 s."""
    if process is None or process.poll() is not None:
        return
    process.send_signal(sig)
    try:
        process.wait(timeout=15)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def start_nginx(site, port, sites, snippet=None):
    """Debian's /etc/nginx copied into the site, with its own paths, the
    snippet in snippets/dirvane.conf, the upstream in conf.d/dirvane.conf
    and `sites` (name to text) as the only enabled sites; nginx runs as
    www-data when started as root."""
    prefix = os.path.join(site.root, "nginx")
    shutil.copytree(NGINX_DEBIAN, prefix, symlinks=True)
    main = read_text(os.path.join(prefix, "nginx.conf"))
    main = (main.replace(NGINX_DEBIAN + "/", prefix + "/")
            .replace("/run/nginx.pid", prefix + "/nginx.pid")
            .replace("/var/log/nginx/", prefix + "/")
            .replace("worker_processes auto;", "worker_processes 1;"))
    if not WWW_DATA:
        main = re.sub(r"(?m)^user .*$", "", main)
    write(os.path.join(prefix, "nginx.conf"), main)
    write(os.path.join(prefix, "snippets", "dirvane.conf"),
          snippet or sample("nginx-snippet.conf"))
    write(os.path.join(prefix, "conf.d", "dirvane.conf"),
          sample("nginx-upstream.conf").replace("/run/dirvane/fcgi.sock", site.socket))
    enabled = os.path.join(prefix, "sites-enabled")
    shutil.rmtree(enabled)
    for name, text in sites.items():
        write(os.path.join(enabled, name), text)
    server = subprocess.Popen([NGINX, "-p", prefix, "-c", os.path.join(prefix, "nginx.conf"),
                               "-g", "daemon off;"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    assert wait_for_port(port, server), "nginx did not start"
    return server


def start_nginx_sample(site, port):
    """nginx with the whole site of dist/fastcgi/nginx.conf on `port`."""
    whole = (sample("nginx.conf")
             .replace("listen 80;", "listen 127.0.0.1:%d;" % port)
             .replace("/var/www/html", site.docroot))
    return start_nginx(site, port, {"dirvane": whole})
