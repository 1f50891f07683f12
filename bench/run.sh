#!/bin/bash
# Download benchmark on loopback: a throwaway nginx on 127.0.0.1 serves a test file, and
# curl (one connection), aria2c -x4 and download_bench fetch it in the same run. Then
# download_bench is killed half-way and restarted, to measure what the resume re-fetches.
#   bench/run.sh [--https] [SIZE_MB] [ROUNDS]   (default 1024 MB, 1 round; runs itself inside scripts/netjail)
# --https serves the file over TLS with a throwaway self-signed certificate, which every tool
# trusts as its CA: each verifies the server's certificate, as the engine always does.
# With several rounds, curl and download_bench run in pairs, in turns first, so that a
# machine whose load drifts weighs on both alike; the last line gives the median ratio.
# XJ_BUILD_DIR names the build directory (default build/release, configured with the
# release preset when missing). curl, nginx and aria2c come from Debian when missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${XJ_BUILD_DIR:-$root/build/release}
bench=$build/bench/download_bench
if [ -z "${XJ_NETJAIL_INSIDE:-}" ]; then
    # Out here, where the package registry can be reached; the jail has no network.
    missing=()
    for tool in curl:curl nginx:nginx aria2c:aria2; do
        command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        apt-get install -y -q "${missing[@]}" >/dev/null 2>&1 ||
            { apt-get update -q >/dev/null 2>&1 && apt-get install -y -q "${missing[@]}" >/dev/null 2>&1; } ||
            echo "could not install ${missing[*]}" >&2
    fi
    [ -d "$build" ] || cmake -S "$root" --preset release -B "$build" >/dev/null
    cmake --build "$build" -j3 --target download_bench >/dev/null
    exec "$root/scripts/netjail" -- "$0" "$@"
fi
scheme=http
if [ "${1:-}" = --https ]; then
    scheme=https
    shift
fi
size_mb=${1:-1024}
rounds=${2:-1}
command -v aria2c >/dev/null || echo "aria2c not available; skipping it" >&2

work=$(mktemp -d)
chmod 755 "$work"  # nginx workers run as an unprivileged user
nginx_pid=
cleanup() {
    [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www" "$work/logs" "$work/home"
head -c $((size_mb * 1024 * 1024)) /dev/urandom >"$work/www/pkg.bin"
chmod 644 "$work/www/pkg.bin"
size=$(stat -c %s "$work/www/pkg.bin")
md5=$(md5sum "$work/www/pkg.bin" | cut -d' ' -f1)

listen=
trust=()
aria_trust=()
engine_trust=()
if [ "$scheme" = https ]; then
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
        -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
    listen="ssl; ssl_certificate $work/cert.pem; ssl_certificate_key $work/key.pem"
    trust=(--cacert "$work/cert.pem")
    aria_trust=(--ca-certificate="$work/cert.pem")
    engine_trust=(--ca "$work/cert.pem")
fi
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat >"$work/nginx.conf" <<CONF
worker_processes 2;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 256; }
http {
    log_format bytes '\$body_bytes_sent';
    access_log $work/logs/access.log bytes;
    sendfile on;
    server {
        listen 127.0.0.1:$port $listen;
        root $work/www;
    }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" -g 'daemon off;' &
nginx_pid=$!
url=$scheme://127.0.0.1:$port/pkg.bin
for _ in $(seq 50); do curl -sfI "${trust[@]}" "$url" >/dev/null && break; sleep 0.1; done

# One line per tool in download_bench's format: the wall time from outside (start-up
# included), CPU and peak RSS from GNU time.
measure() {
    local name=$1
    shift
    rm -f "$work/out"*
    local start end
    start=$(date +%s.%N)
    /usr/bin/time -f "%U %S %M" -o "$work/time" "$@" >/dev/null 2>>"$work/bench.log" || {
        cat "$work/bench.log" >&2
        exit 1
    }
    end=$(date +%s.%N)
    read -r user sys rss <"$work/time"
    secs=$(awk -v s="$start" -v e="$end" 'BEGIN { print e - s }')
    [ "$(md5sum "$work/out" | cut -d' ' -f1)" = "$md5" ] || echo "$name: MD5 mismatch" >&2
    awk -v n="$name" -v b="$size" -v s="$secs" -v u="$user" -v y="$sys" -v r="$rss" \
        'BEGIN { printf "%-14s bytes=%d seconds=%.3f mbps=%.1f cpu_seconds=%.3f peak_rss_kb=%d\n", n, b, s, b*8/1e6/s, u+y, r }'
}

export HOME=$work/home  # the engine's C: drive; the output path is taken through Z:
# Timed from outside like the others, start-up included; the MD5 check is measure's.
run_engine() {
    measure download_bench "$bench" --url "$url" --out "$work/out" --size "$size" "${engine_trust[@]}"
}
seconds_of() { sed -n 's/.* seconds=\([0-9.]*\).*/\1/p'; }

ratios=()
for round in $(seq "$rounds"); do
    [ "$rounds" -gt 1 ] && echo "round $round"
    if [ $((round % 2)) -eq 1 ]; then
        c=$(measure curl curl -sf "${trust[@]}" -o "$work/out" "$url")
        e=$(run_engine)
        printf '%s\n%s\n' "$c" "$e"
    else
        e=$(run_engine)
        c=$(measure curl curl -sf "${trust[@]}" -o "$work/out" "$url")
        printf '%s\n%s\n' "$e" "$c"
    fi
    ratios+=("$(awk -v e="$(echo "$e" | seconds_of)" -v c="$(echo "$c" | seconds_of)" 'BEGIN { printf "%.3f", e / c }')")
done
if [ "$rounds" -gt 1 ]; then
    printf '%s\n' "${ratios[@]}" | sort -n | awk '{ r[NR] = $1 } END {
        m = NR % 2 ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2
        printf "download_bench / curl time per round: min %.3f median %.3f max %.3f\n", r[1], m, r[NR] }'
fi
if command -v aria2c >/dev/null; then
    measure aria2c aria2c -q -x4 -s4 "${aria_trust[@]}" --file-allocation=none --allow-overwrite=true -d "$work" -o out "$url"
fi

# Kill -9 once half the file is written, then resume. Re-fetched bytes are what the
# second run downloads beyond what was really missing after the kill (found by comparing
# the temporary file with the source); nginx's own count also includes what was lost in
# the killed process's socket buffers.
rm -f "$work/out"*
: >"$work/logs/access.log"
"$bench" --url "$url" --out "$work/out" --size "$size" --md5 "$md5" "${engine_trust[@]}" >/dev/null 2>>"$work/bench.log" &
pid=$!
while kill -0 "$pid" 2>/dev/null; do
    written=$(awk '/^wchar/ { print $2 }' "/proc/$pid/io" 2>/dev/null || echo 0)
    if [ "${written:-0}" -ge $((size / 2)) ]; then
        kill -9 "$pid"
        break
    fi
    sleep 0.005
done
wait "$pid" 2>/dev/null || true
[ -e "$work/out" ] && echo "the first run had already finished" >&2
sent_total() {
    kill -USR1 "$nginx_pid"  # reopen logs: flushes what is buffered
    sleep 0.5
    awk '{ s += $1 } END { printf "%d\n", s }' "$work/logs/access.log"
}
sent_before=$(sent_total)
present=$(python3 - "$work/www/pkg.bin" "$work/out.qvdt" <<'PY'
import sys
page = 4096
same = 0
with open(sys.argv[1], 'rb') as a, open(sys.argv[2], 'rb') as b:
    while True:
        x, y = a.read(1 << 20), b.read(1 << 20)
        if not x:
            break
        for i in range(0, len(x), page):
            if x[i:i + page] == y[i:i + page]:
                same += len(x[i:i + page])
print(same)
PY
)
"$bench" --url "$url" --out "$work/out" --size "$size" --md5 "$md5" "${engine_trust[@]}" >/dev/null 2>>"$work/bench.log"
sent=$(( $(sent_total) - sent_before ))
awk -v s="$sent" -v b="$size" -v p="$present" -v t="$sent_before" 'BEGIN {
    printf "resume after kill -9 at %.0f%%: re-fetched %d bytes (%.3f%% of the file); nginx sent %.3f%% more than one file\n",
        p*100/b, s-(b-p), (s-(b-p))*100/b, (s+t-b)*100/b }'
