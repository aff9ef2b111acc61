#!/usr/bin/env bash
# run.sh: time folder pages served over HTTP on loopback: our server with
# Dirvane, nginx's autoindex, lighttpd's mod_dirlisting, and a CGI program
# that only prints a fixed 2 KB page (the CGI floor) behind our server.
#
# Usage: bench/server/run.sh [build-dir]      (default: build)
#
# Needs Dirvane and dirvane-httpd built in build-dir, lighttpd, nginx
# (apt-get install lighttpd nginx-light; nginx is for this benchmark only)
# and cc. Generates folders of 100, 10 000 and 100 000 entries with
# bench/gen_tree.py, starts the three servers on free 127.0.0.1 ports with
# private configurations in a temporary folder, times them with client.py
# and stops them again. A report: exit 0 whatever the figures, non-zero
# only when something fails to build, start or answer.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "${1:-build}" && pwd)"
dirvane="$build/bin/Dirvane"
httpd="$build/bin/dirvane-httpd"
for f in "$dirvane" "$httpd"; do
    [[ -x "$f" ]] || { echo "run.sh: no executable at $f (build it first)" >&2; exit 2; }
done
lighttpd="$(command -v lighttpd || echo /usr/sbin/lighttpd)"
nginx="$(command -v nginx || echo /usr/sbin/nginx)"
[[ -x "$lighttpd" ]] || { echo "run.sh: lighttpd missing: apt-get install lighttpd" >&2; exit 2; }
[[ -x "$nginx" ]] || { echo "run.sh: nginx missing: apt-get install nginx-light" >&2; exit 2; }
command -v cc >/dev/null || { echo "run.sh: cc is required" >&2; exit 2; }

tmp="$(mktemp -d "${TMPDIR:-/tmp}/dirvane-server-bench.XXXXXX")"
chmod 755 "$tmp" # nginx's workers may run as another user
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
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
    echo "run.sh: nothing answers on port $1" >&2
    return 1
}

root="$tmp/root"
sizes=(100 10000 100000)
for n in "${sizes[@]}"; do
    echo "Generating a folder of $n entries"
    python3 "$here/../gen_tree.py" "$root/d$n" "$n"
    : > "$root/d$n/config.index"
done
chmod -R a+rX "$root"

# The CGI floor: the same server, a folder whose index document runs a
# program that writes a fixed 2048-byte response.
cc -O2 -static -o "$tmp/floor_start" "$here/../floor_start.c"
mkdir -p "$root/floor"
: > "$root/floor/fixed.page"
# The listing floor: the same response after reading and stating every
# entry of a copy of the 100-entry folder (its index document takes the
# place of config.index, so the entry count is the same).
cc -O2 -static -DLIST_FOLDER -o "$tmp/floor_listing" "$here/../floor_start.c"
python3 "$here/../gen_tree.py" "$root/listing" 100 >/dev/null
: > "$root/listing/listing.page"

# Dirvane with its defaults (no Dirvane.ini beside it), as bench/run.sh runs it.
mkdir -p "$tmp/cgi"
cp "$dirvane" "$tmp/cgi/Dirvane"
export DIRVANE_REGISTRY="$tmp/registry.reg"
"$httpd" --register --cgi "$tmp/cgi/Dirvane" >/dev/null
"$httpd" --register --conf fixed.page --cgi "$tmp/floor_start" >/dev/null
"$httpd" --register --conf listing.page --cgi "$tmp/floor_listing" >/dev/null

port_ours=$(free_port)
"$httpd" --root "$root" --port "$port_ours" --state "$tmp/state" --user "$(id -un)" >"$tmp/ours.out" 2>&1 &
pids+=($!)

port_nginx=$(free_port)
mkdir -p "$tmp/nginx"
cat >"$tmp/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 1;
error_log $tmp/nginx/error.log;
pid $tmp/nginx/nginx.pid;
events { worker_connections 64; }
http {
    access_log off;
    server {
        listen 127.0.0.1:$port_nginx;
        root $root;
        location / { autoindex on; }
    }
}
CONF
"$nginx" -p "$tmp/nginx" -c "$tmp/nginx/nginx.conf" 2>"$tmp/nginx/stderr" &
pids+=($!)

port_dirlisting=$(free_port)
mkdir -p "$tmp/lighttpd"
cat >"$tmp/lighttpd/lighttpd.conf" <<CONF
server.compat-module-load = "disable"
server.modules = ("mod_dirlisting", "mod_staticfile")
server.document-root = "$root"
server.bind = "127.0.0.1"
server.port = $port_dirlisting
server.errorlog = "$tmp/lighttpd/error.log"
server.upload-dirs = ("$tmp/lighttpd")
dir-listing.activate = "enable"
CONF
"$lighttpd" -D -f "$tmp/lighttpd/lighttpd.conf" &
pids+=($!)

wait_port "$port_ours" || { cat "$tmp/ours.out" >&2; exit 1; }
wait_port "$port_nginx" || { cat "$tmp/nginx/stderr" >&2; exit 1; }
wait_port "$port_dirlisting"

echo
echo "Servers:      dirvane-httpd ($(basename "$lighttpd") $("$lighttpd" -v | sed -n 's/^lighttpd\/\([^ ]*\).*/\1/p')) + Dirvane, $("$nginx" -v 2>&1 | sed 's/.*: //') autoindex, lighttpd mod_dirlisting"
echo "Machine:      $(nproc) cores, $(uname -sr)"
echo "Client:       python3, one connection per request, interleaved round-robin"
echo

python3 "$here/client.py" --ours "$port_ours" --nginx "$port_nginx" \
    --dirlisting "$port_dirlisting" --floor "/floor/" --listing-floor "/listing/" \
    100=/d100/:200 10000=/d10000/:20 100000=/d100000/:7
