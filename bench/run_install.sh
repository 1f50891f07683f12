#!/usr/bin/env bash
# The hidden install end to end, next to the same work done by hand.
#   bench/run_install.sh [SIZE_MB] [ROUNDS]   (default 64 MB, 3 rounds; runs itself inside scripts/netjail)
# The project's update server (xjupdateserver) serves a package of SIZE_MB: the fake client
# with random bytes appended. Each round runs, in turns first:
#   install  xjinstaller -h -r 0 -p D:\Games\QuorvelTarnvik, from start to exit
#   by hand  curl of the package (the descriptor's HTTPS address, as the installer uses),
#            md5sum and a comparison with the descriptor's, then the package run with the
#            installer's arguments
# "install - wait" leaves out the install worker's fixed wait for the progress display to
# reach its end (the time between its two "progress_time" log lines), which no by-hand
# install has. The last lines give the medians of both ratios to the hand-made sum.
# XJ_BUILD_DIR names the build directory (default build/release, configured with the
# release preset when missing); XJ_KEEP=1 keeps the work folder with the runs' logs.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" != --inside ]; then
    command -v curl >/dev/null || apt-get install -y -q curl >/dev/null || echo "curl could not be installed" >&2
    build=${XJ_BUILD_DIR:-$root/build/release}
    if [ ! -d "$build" ]; then
        cmake -S "$root" --preset release -B "$build" >/dev/null
    fi
    cmake --build "$build" -j3 --target xjinstaller xjfakeclient xjupdateserver xjlogdecode >/dev/null
    exec "$root/scripts/netjail" -- "$0" --inside "$build" "${1:-64}" "${2:-3}"
fi
build=$2
size_mb=$3
rounds=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/xj-install-bench.XXXXXX")
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    [ -n "${XJ_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/server"
package=$work/server/qvinstaller.exe
cp "$build/tests/xjfakeclient" "$package"
head -c $((size_mb * 1024 * 1024 - $(stat -c %s "$package"))) /dev/urandom >>"$package"
md5=$(md5sum "$package" | cut -d' ' -f1)
"$build/tests/xjupdateserver" --package "$package" --cert-dir "$work/server" --ini "$work/server/servers.ini" \
    >"$work/server/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 300); do
    [ -s "$work/server/servers.ini" ] && break
    sleep 0.1
done
[ -s "$work/server/servers.ini" ] || { cat "$work/server/server.log" >&2; exit 1; }
url=$(sed -n 's/^UpdateServer=//p' "$work/server/servers.ini")/qvinstaller.exe

now() { date +%s.%N; }

# A fresh home, drive D: and program folder for one run.
fresh_home() {
    local home=$1
    rm -rf "$home"
    mkdir -p "$home/prog" "$home/.config/xjinstaller" "$home/run" "$home/drive-d" "$home/record"
    chmod 700 "$home/run"
    printf '[Drives]\nD=%s\n' "$home/drive-d" >"$home/.config/xjinstaller/drives.ini"
    cp "$build/app/xjinstaller" "$home/prog/"
    { cat "$work/server/servers.ini"; printf '[Debug]\nLog=2\n'; } >"$home/prog/xjzurazarevuz.ini"
}

# Prints "seconds wait_seconds" of one hidden install.
run_install() {
    local home=$work/install
    fresh_home "$home"
    local start end code
    start=$(now)
    set +e
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_DOCUMENTS_DIR=$home/Documents \
        XDG_RUNTIME_DIR=$home/run XJ_DISPLAY_BACKEND=headless XJ_FAKE_CLIENT_RECORD=$home/record \
        "$home/prog/xjinstaller" -h -r 0 -p 'D:\Games\QuorvelTarnvik'
    code=$?
    set -e
    end=$(now)
    if [ "$code" != 0 ] || [ ! -f "$home/drive-d/Games/QuorvelTarnvik/rkupdate.ini" ]; then
        echo "the hidden install failed with exit code $code" >&2
        exit 1
    fi
    "$build/tests/xjlogdecode" "$home"/prog/MiniLog/*.xjelog >"$home/log.txt"
    awk -v s="$start" -v e="$end" '/progress_time:/ {
            for (i = 1; i <= NF; ++i) if ($i ~ /^tick:/) { t[++n] = substr($i, 6) } }
        END { if (n < 2) { print "no progress_time lines in the log" > "/dev/stderr"; exit 1 }
              printf "%.3f %.3f\n", e - s, (t[n] - t[1]) / 1000 }' "$home/log.txt"
}

# Prints the seconds of the same steps done by hand.
run_by_hand() {
    local home=$work/hand
    rm -rf "$home"
    mkdir -p "$home/download" "$home/install"
    local start end
    start=$(now)
    curl -sfk -o "$home/download/qvinstaller.exe" "$url"
    [ "$(md5sum "$home/download/qvinstaller.exe" | cut -d' ' -f1)" = "$md5" ] || { echo "MD5 mismatch" >&2; exit 1; }
    chmod +x "$home/download/qvinstaller.exe"
    XJ_FAKE_CLIENT_RECORD=$home "$home/download/qvinstaller.exe" /S "/unpack=$home/install" /launch=off
    end=$(now)
    [ -f "$home/install/rkupdate.ini" ] || { echo "the package did not install by hand" >&2; exit 1; }
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}

echo "package $(stat -c %s "$package") bytes from $url; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-6s %10s %10s %10s %8s %8s\n' round install wait by-hand ratio no-wait
ratios=()
nowait=()
for round in $(seq "$rounds"); do
    if [ $((round % 2)) -eq 1 ]; then
        read -r secs wait <<<"$(run_install)"
        hand=$(run_by_hand)
    else
        hand=$(run_by_hand)
        read -r secs wait <<<"$(run_install)"
    fi
    r=$(awk -v a="$secs" -v b="$hand" 'BEGIN { printf "%.3f", a / b }')
    n=$(awk -v a="$secs" -v w="$wait" -v b="$hand" 'BEGIN { printf "%.3f", (a - w) / b }')
    ratios+=("$r")
    nowait+=("$n")
    printf '%-6s %10s %10s %10s %8s %8s\n' "$round" "$secs" "$wait" "$hand" "$r" "$n"
done
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.3f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo "install / by hand, median: $(printf '%s\n' "${ratios[@]}" | median) with the progress wait," \
    "$(printf '%s\n' "${nowait[@]}" | median) without it; load: $(cut -d' ' -f1-3 /proc/loadavg)"
