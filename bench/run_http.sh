#!/usr/bin/env bash
# Runs HttpBench against a private nginx on 127.0.0.1 inside the loopback-only namespace.
#   bench/run_http.sh [count]      (builds build/bench with -DXJ_BUILD_BENCH=ON when needed)
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
build=${XJ_BENCH_DIR:-build/bench}
if [ ! -x "$build/bench/HttpBench" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DXJ_BUILD_TESTS=OFF -DXJ_BUILD_BENCH=ON >/dev/null
  cmake --build "$build" -j4 --target HttpBench
fi
root=$(mktemp -d /tmp/xj-http-bench.XXXXXX)
trap 'kill "$(cat "$root/nginx.pid" 2>/dev/null)" 2>/dev/null || true; rm -rf "$root"' EXIT
chmod 755 "$root"
mkdir -p "$root/www"
head -c 512 /dev/zero | tr '\0' 'x' >"$root/www/small.txt"
port=18095
cat >"$root/nginx.conf" <<CONF
worker_processes 2;
pid $root/nginx.pid;
error_log $root/error.log warn;
events { worker_connections 1024; }
http {
  access_log off;
  keepalive_timeout 65;
  keepalive_requests 100000;
  client_body_temp_path $root/body; proxy_temp_path $root/proxy; fastcgi_temp_path $root/fcgi;
  uwsgi_temp_path $root/uwsgi; scgi_temp_path $root/scgi;
  server { listen 127.0.0.1:$port; root $root/www; }
}
CONF
exec scripts/netjail -- sh -c "nginx -p '$root' -e '$root/error.log' -c '$root/nginx.conf' && sleep 0.3 &&
  '$build/bench/HttpBench' 'http://127.0.0.1:$port/small.txt' '$count'; rc=\$?;
  kill \$(cat '$root/nginx.pid'); exit \$rc"
