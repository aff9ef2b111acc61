#!/usr/bin/env bash
# fastcgi.sh: Dirvane over FastCGI behind one nginx (one worker, no access
# log of its own), with Dirvane's access log on, against nginx autoindex and
# the FastCGI floor (bench/fastcgi_floor.c: libfcgi answering every request
# with a fixed page of the size of Dirvane's 100-entry page). Both
# responders are started by spawn-fcgi on Unix sockets. Every request comes
# to nginx on a new connection; nginx reaches Dirvane through the shipped
# snippet and upstream (connections kept between requests), and the floor
# both on a new connection per request ("FastCGI floor") and on a kept one
# ("floor kept"). Prints, in one interleaved run: the medians at 100,
# 10 000 and 100 000 entries (table form) and their ratios; wrk at 100
# entries for Dirvane and autoindex, in alternating slices; and the
# resident memory of the FastCGI parent over 10 000 requests. The load
# average is printed before and after: figures compare only within a run.
#
# Usage: bench/server/fastcgi.sh [build-dir]      (default: build)
#
# With DIRVANE_COMPARE naming another Dirvane program (an earlier build),
# that one runs beside it, set up alike, in the 100-entry rounds.
#
# Build Dirvane with -DDIRVANE_STATIC=ON for it (bench/README.md). Needs
# nginx, spawn-fcgi, wrk, cc and libfcgi-dev. A benchmark, not a test:
# exit 0 whatever the figures, non-zero only when something fails to start
# or answer. About four minutes.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source="$(cd "$here/../.." && pwd)"
build="$(cd "${1:-build}" && pwd)"
dirvane="$build/bin/Dirvane"
[[ -x "$dirvane" ]] || { echo "fastcgi.sh: no executable at $dirvane" >&2; exit 2; }
nginx="$(command -v nginx || echo /usr/sbin/nginx)"
for f in "$nginx" "$(command -v spawn-fcgi)" "$(command -v wrk)" "$(command -v cc)"; do
    [[ -x "$f" ]] || { echo "fastcgi.sh: needs nginx, spawn-fcgi, wrk and cc" >&2; exit 2; }
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
wait_socket() {
    for _ in $(seq 1 100); do [[ -S "$1" ]] && return 0; sleep 0.1; done
    echo "fastcgi.sh: no socket at $1" >&2
    return 1
}

root="$tmp/root"
for n in 100 10000 100000; do
    echo "Generating a folder of $n entries"
    python3 "$here/../gen_tree.py" "$root/d$n" "$n" >/dev/null
    : > "$root/d$n/config.index"
done
chmod -R a+rX "$root"

# Dirvane in table form with its access log on. A server started as root
# runs as www-data: the log's folder is open to it.
mkdir -p "$tmp/cgi" "$tmp/run" "$tmp/logs"
chmod 777 "$tmp/logs" "$tmp/run"
cp "$dirvane" "$tmp/cgi/Dirvane"
printf '[index]\nusetable=1\nlog=%s/access.log\n' "$tmp/logs" > "$tmp/cgi/Dirvane.ini"
cc -O2 -o "$tmp/fastcgi_floor" "$here/../fastcgi_floor.c" -lfcgi
spawn-fcgi -n -s "$tmp/run/fcgi.sock" -M 0666 -- "$tmp/cgi/Dirvane" >/dev/null 2>&1 &
pids+=($!)
parent=$!
wait_socket "$tmp/run/fcgi.sock"
compare="${DIRVANE_COMPARE:-}"
if [[ -n "$compare" ]]; then
    mkdir -p "$tmp/cgi-compare"
    cp "$compare" "$tmp/cgi-compare/Dirvane"
    sed "s#$tmp/logs/access.log#$tmp/logs/compare.log#" "$tmp/cgi/Dirvane.ini" \
        >"$tmp/cgi-compare/Dirvane.ini"
    spawn-fcgi -n -s "$tmp/run/compare.sock" -M 0666 -- "$tmp/cgi-compare/Dirvane" \
        >/dev/null 2>&1 &
    pids+=($!)
    wait_socket "$tmp/run/compare.sock"
fi

port_dv=$(free_port)
port_auto=$(free_port)
port_floor=$(free_port)
port_compare=$(free_port)
port_floor_kept=$(free_port)
mkdir -p "$tmp/nginx"
# Dirvane's part is the shipped snippet, as a site includes it, and the
# shipped upstream (connections kept between requests), one for each
# Dirvane.
for name in fcgi compare; do
    sed -e "s#dirvane_fastcgi#dirvane_$name#" \
        -e "s#include fastcgi_params;#include /etc/nginx/fastcgi_params;#" \
        "$source/dist/fastcgi/nginx-snippet.conf" >"$tmp/nginx/dirvane-$name.conf"
    sed -e "s#dirvane_fastcgi#dirvane_$name#" -e "s#/run/dirvane/fcgi.sock#$tmp/run/$name.sock#" \
        "$source/dist/fastcgi/nginx-upstream.conf" >"$tmp/nginx/upstream-$name.conf"
done
write_nginx() {
    cat >"$tmp/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 1;
error_log $tmp/nginx/error.log;
pid $tmp/nginx/nginx.pid;
events { worker_connections 256; }
http {
    access_log off;
    include $tmp/nginx/upstream-fcgi.conf;
    include $tmp/nginx/upstream-compare.conf;
    # The floor on a connection kept as Dirvane's are: one, as the floor is
    # one process that reads the connection it holds until it closes.
    upstream floor_kept {
        server unix:$tmp/run/floor-kept.sock;
        keepalive 1;
    }
    server {
        listen 127.0.0.1:$port_auto;
        root $root;
        location / { autoindex on; }
    }
    server {
        listen 127.0.0.1:$port_dv;
        root $root;
        include $tmp/nginx/dirvane-fcgi.conf;
    }
    server {
        listen 127.0.0.1:$port_compare;
        root $root;
        include $tmp/nginx/dirvane-compare.conf;
    }
    server {
        listen 127.0.0.1:$port_floor;
        location / {
            include /etc/nginx/fastcgi_params;
            fastcgi_pass unix:$tmp/run/floor.sock;
        }
    }
    server {
        listen 127.0.0.1:$port_floor_kept;
        location / {
            include /etc/nginx/fastcgi_params;
            fastcgi_keep_conn on;
            fastcgi_pass floor_kept;
        }
    }
}
CONF
}
write_nginx
"$nginx" -p "$tmp/nginx" -c "$tmp/nginx/nginx.conf" 2>"$tmp/nginx/stderr" &
pids+=($!)
for p in $port_dv $port_auto $port_floor; do wait_port "$p"; done

# The floor's page is as large as Dirvane's 100-entry page.
page_size=$(python3 -c '
import sys; sys.path.insert(0, sys.argv[1])
from client import fetch
_, status, size = fetch(int(sys.argv[2]), "/d100/")
print(size if status == 200 else 0)' "$here" "$port_dv")
[[ "$page_size" -gt 0 ]] || { echo "fastcgi.sh: Dirvane does not answer" >&2; exit 1; }
for name in floor floor-kept; do
    spawn-fcgi -n -s "$tmp/run/$name.sock" -M 0666 -- "$tmp/fastcgi_floor" "$page_size" \
        >/dev/null 2>&1 &
    pids+=($!)
    wait_socket "$tmp/run/$name.sock"
done

echo
echo "Server:   $("$nginx" -v 2>&1 | sed 's/.*: //'), one worker; Dirvane with ${DIRVANE_FASTCGI_CHILDREN:-4} children, access log on"
echo "Machine:  $(nproc) cores, $(uname -sr)"
echo "Page:     $page_size bytes at 100 entries (the floor's page as large)"
echo "Load:     $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) before the runs"
echo
group="Dirvane=$port_dv,nginx autoindex=$port_auto,FastCGI floor=$port_floor"
group="$group,floor kept=$port_floor_kept"
[[ -z "$compare" ]] || group="$group,compared Dirvane=$port_compare"
python3 "$here/fastcgi_client.py" "$group" "100=/d100/:300"
echo
python3 "$here/fastcgi_client.py" \
    "Dirvane=$port_dv,nginx autoindex=$port_auto" "10000=/d10000/:30,100000=/d100000/:7" \
    --memory "$parent:$port_dv:/d100/:10000"
records=$(wc -l < "$tmp/logs/access.log")
echo "Access log: $records records"

# wrk in alternating slices of 5 s, four each: 20 s per responder.
echo
declare -A done_requests=() errors=()
for slice in 1 2 3 4; do
    for target in "Dirvane $port_dv" "autoindex $port_auto"; do
        set -- $target
        out=$(wrk -t2 -c4 -d5s "http://127.0.0.1:$2/d100/")
        n=$(awk '/requests in/ {print $1}' <<<"$out")
        # "Socket errors: connect 0, read 0, write 0, timeout 0" and
        # "Non-2xx or 3xx responses: N", when there are any.
        e=$(awk -F'[:,]' '/Socket errors/ {for (i = 2; i <= NF; i++) {split($i, w, " "); s += w[2]}}
                          /Non-2xx/ {s += $2} END {print s + 0}' <<<"$out")
        done_requests[$1]=$(( ${done_requests[$1]:-0} + n ))
        errors[$1]=$(( ${errors[$1]:-0} + ${e:-0} ))
    done
done
dv=${done_requests[Dirvane]}
au=${done_requests[autoindex]}
echo "wrk, 2 threads, 4 connections, /d100/, 4 alternating slices of 5 s each:"
printf '  Dirvane:    %8.0f requests/s, %d errors\n' "$(bc -l <<<"$dv/20")" "${errors[Dirvane]}"
printf '  autoindex:  %8.0f requests/s, %d errors\n' "$(bc -l <<<"$au/20")" "${errors[autoindex]}"
printf '  Dirvane / autoindex throughput: %.2fx\n' "$(bc -l <<<"$dv/$au")"
echo
echo "Load:     $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) after the runs"
