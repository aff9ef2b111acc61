#!/usr/bin/env bash
# fastcgi.sh: Dirvane over FastCGI, with the samples of dist/fastcgi/,
# against the servers' own listings on loopback: behind nginx against nginx
# autoindex, behind lighttpd (mod_fastcgi, bin-path) against
# mod_dirlisting, at 100, 10 000 and 100 000 entries; a bounded wrk run
# (20 s, 4 connections) at 100 entries; and the resident memory of the
# FastCGI parent and its children over 10 000 requests in a row. The load
# average is printed before and after: the figures are only comparable
# within one run.
#
# Usage: bench/server/fastcgi.sh [build-dir]      (default: build)
#
# Needs Dirvane built in build-dir, nginx, lighttpd, spawn-fcgi and wrk. A
# report: exit 0 whatever the figures, non-zero only when something fails
# to start or answer.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-build}" && pwd)"
dirvane="$build/bin/Dirvane"
[[ -x "$dirvane" ]] || { echo "fastcgi.sh: no executable at $dirvane" >&2; exit 2; }
lighttpd="$(command -v lighttpd || echo /usr/sbin/lighttpd)"
nginx="$(command -v nginx || echo /usr/sbin/nginx)"
for f in "$lighttpd" "$nginx" "$(command -v spawn-fcgi)" "$(command -v wrk)"; do
    [[ -x "$f" ]] || { echo "fastcgi.sh: needs nginx, lighttpd, spawn-fcgi and wrk" >&2; exit 2; }
done

tmp="$(mktemp -d "${TMPDIR:-/tmp}/dirvane-fastcgi-bench.XXXXXX")"
chmod 755 "$tmp"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT

free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
wait_port() {
    for _ in $(seq 1 100); do
        python3 -c 'import socket,sys; socket.create_connection(("127.0.0.1",int(sys.argv[1])),1)' "$1" \
            2>/dev/null && return 0
        sleep 0.1
    done
    echo "fastcgi.sh: nothing answers on port $1" >&2
    return 1
}

root="$tmp/root"
for n in 100 10000 100000; do
    echo "Generating a folder of $n entries"
    python3 "$here/../gen_tree.py" "$root/d$n" "$n" >/dev/null
    : > "$root/d$n/config.index"
done
chmod -R a+rX "$root"

# Dirvane with its defaults (an empty Dirvane.ini beside it).
mkdir -p "$tmp/cgi" "$tmp/run"
cp "$dirvane" "$tmp/cgi/Dirvane"
: > "$tmp/cgi/Dirvane.ini"
spawn-fcgi -n -s "$tmp/run/fcgi.sock" -M 0666 -- "$tmp/cgi/Dirvane" >/dev/null 2>&1 &
pids+=($!)
parent=$!

port_ng_fcgi=$(free_port)
port_ng_auto=$(free_port)
mkdir -p "$tmp/nginx"
sample="$(sed -e "s#listen 80;#listen 127.0.0.1:$port_ng_fcgi;#" -e "s#/var/www/html#$root#" \
    -e "s#/run/dirvane/fcgi.sock#$tmp/run/fcgi.sock#" \
    -e "s#include fastcgi_params;#include /etc/nginx/fastcgi_params;#" \
    "$source/dist/fastcgi/nginx.conf")"
cat >"$tmp/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 1;
error_log $tmp/nginx/error.log;
pid $tmp/nginx/nginx.pid;
events { worker_connections 256; }
http {
    access_log off;
    server {
        listen 127.0.0.1:$port_ng_auto;
        root $root;
        location / { autoindex on; }
    }
$sample
}
CONF
"$nginx" -p "$tmp/nginx" -c "$tmp/nginx/nginx.conf" 2>"$tmp/nginx/stderr" &
pids+=($!)

port_li_fcgi=$(free_port)
port_li_list=$(free_port)
mkdir -p "$tmp/lighttpd"
cat >"$tmp/lighttpd/fcgi.conf" <<CONF
server.document-root = "$root"
server.bind = "127.0.0.1"
server.port = $port_li_fcgi
server.errorlog = "$tmp/lighttpd/error.log"
$(sed -e "s#/usr/lib/cgi-bin/Dirvane#$tmp/cgi/Dirvane#" -e "s#/run/dirvane/fcgi.sock#$tmp/run/li.sock#" \
    "$source/dist/fastcgi/lighttpd.conf")
CONF
cat >"$tmp/lighttpd/list.conf" <<CONF
server.modules = ("mod_dirlisting", "mod_staticfile")
server.document-root = "$root"
server.bind = "127.0.0.1"
server.port = $port_li_list
server.errorlog = "$tmp/lighttpd/error-list.log"
dir-listing.activate = "enable"
CONF
"$lighttpd" -D -f "$tmp/lighttpd/fcgi.conf" &
pids+=($!)
"$lighttpd" -D -f "$tmp/lighttpd/list.conf" &
pids+=($!)
for p in $port_ng_fcgi $port_ng_auto $port_li_fcgi $port_li_list; do wait_port "$p"; done

echo
echo "Servers:  $("$nginx" -v 2>&1 | sed 's/.*: //'), $("$lighttpd" -v | sed -n 's/^\(lighttpd\/[^ ]*\).*/\1/p'); Dirvane with 4 children"
echo "Machine:  $(nproc) cores, $(uname -sr)"
echo "Load:     $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) before the runs"
echo
python3 "$here/fastcgi_client.py" \
    "nginx+Dirvane=$port_ng_fcgi,nginx autoindex=$port_ng_auto;lighttpd+Dirvane=$port_li_fcgi,lighttpd dirlisting=$port_li_list" \
    "100=/d100/:300,10000=/d10000/:30,100000=/d100000/:7" \
    --memory "$parent:$port_ng_fcgi:/d100/:10000"

echo
for target in "nginx+Dirvane $port_ng_fcgi" "nginx autoindex $port_ng_auto"; do
    set -- $target
    port="${!#}"
    echo "wrk, 20 s, 4 connections, 2 threads, /d100/: ${target% *}"
    wrk -t2 -c4 -d20s "http://127.0.0.1:$port/d100/" | grep -E "Requests/sec|Non-2xx|Socket errors|requests in"
done
echo
echo "Load:     $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) after the runs"
