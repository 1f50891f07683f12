#!/usr/bin/env bash
# Installs the game client with one command, the way a program that runs the installer
# hidden would: installs what is missing, builds, starts the installer's servers on this
# machine (inside scripts/netjail, so nothing leaves it) with a fake client as the package,
# runs the installer hidden into a temporary drive D: (over HTTPS that verifies the
# server's certificate against the CA the server made and the ini names), and shows what
# happened. A second, ordinary run then finds the installed client and only starts its
# launcher.
#
# With --window the first install is an ordinary one instead: the installer's window
# shows on this user's display (or, when there is none or it cannot be reached from the
# private network, on a virtual X server, Xvfb) and is driven with synthetic input the way
# a person would: the quit box opened and cancelled, then the install button. Pictures of
# the pages are written next to the run's decoded log and their paths printed.
#
# Everything it writes stays under one temporary folder, printed first; everything it
# starts it stops. XJ_BUILD_DIR puts the build elsewhere than build/dev.
set -euo pipefail
cd "$(dirname "$0")/.."

window=0
if [ "${1:-}" = "--window" ]; then
  window=1
  shift
elif [ -n "${1:-}" ] && [ "$1" != "--inside" ]; then
  echo "usage: scripts/demo.sh [--window]" >&2
  exit 2
fi

if [ "${1:-}" != "--inside" ]; then
  scripts/install-deps.sh
  if command -v ccache >/dev/null; then
    export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
  fi
  build=${XJ_BUILD_DIR:-build/dev}
  cmake --preset dev -B "$build" >/dev/null
  cmake --build "$build" -j "$(nproc)" --target xjinstaller xjfakeclient xjupdateserver xjlogdecode xjwindowdriver \
    >/dev/null
  # The user's X server keeps its cookie beside the real home, which the demo replaces.
  export XAUTHORITY=${XAUTHORITY:-$HOME/.Xauthority}
  exec scripts/netjail -- "$0" --inside "$build" "$window"
fi

build=$(cd "$2" && pwd)
window=${3:-0}
demo=$(mktemp -d "${TMPDIR:-/tmp}/xjdemo.XXXXXX")
echo "Everything this demo writes is under $demo"
export HOME=$demo/home
export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_DOCUMENTS_DIR=$HOME/Documents
export XDG_RUNTIME_DIR=$demo/run XJ_DISPLAY_BACKEND=headless XJ_FAKE_CLIENT_RECORD=$demo/record
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
mkdir -p "$HOME/prog" "$XDG_CONFIG_HOME/xjinstaller" "$XDG_RUNTIME_DIR" "$demo/drive-d" "$demo/record" "$demo/server"
chmod 700 "$XDG_RUNTIME_DIR"
printf '[Drives]\nD=%s\n' "$demo/drive-d" >"$XDG_CONFIG_HOME/xjinstaller/drives.ini"
cp "$build/app/xjinstaller" "$HOME/prog/"
cp "$build/tests/xjfakeclient" "$demo/server/qvinstaller.exe"

server_pid=""
xvfb_pid=""
stop_server() {
  if [ -n "$server_pid" ]; then
    kill -TERM "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
  fi
}
stop_all() {
  stop_server
  if [ -n "$xvfb_pid" ]; then
    kill -TERM "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}
trap stop_all EXIT

"$build/tests/xjupdateserver" --package "$demo/server/qvinstaller.exe" --version 2.1.790 \
  --cert-dir "$demo/server" --ini "$demo/server/servers.ini" >"$demo/server/server.log" 2>&1 &
server_pid=$!
for _ in $(seq 300); do
  [ -s "$demo/server/servers.ini" ] && break
  sleep 0.1
done
[ -s "$demo/server/servers.ini" ] || { echo "the update server did not start"; cat "$demo/server/server.log"; exit 1; }
{ cat "$demo/server/servers.ini"; printf '[Debug]\nLog=2\n'; } >"$HOME/prog/xjzurazarevuz.ini"
echo "The update server's HTTPS certificate is signed by a CA of its own, which the installer trusts through"
grep '^CaFile=' "$demo/server/servers.ini" | sed 's/^/  [Servers] /'

meaning() {
  case $1 in
    0) echo "installed, or the installed client's launcher started" ;;
    1) echo "no window could be made, or no display to show it" ;;
    2) echo "no usable install directory" ;;
    3) echo "the update descriptor was never fetched" ;;
    4) echo "the package download failed" ;;
    5) echo "the package is damaged (MD5)" ;;
    6) echo "the package could not be started" ;;
    7) echo "the package ran but installed no working client" ;;
    8) echo "the update descriptor was refused" ;;
    9) echo "a hidden run's command line does not parse" ;;
    *) echo "unexpected" ;;
  esac
}

show_install() {
  echo "-- the installed files (D: is $demo/drive-d)"
  (cd "$demo/drive-d" && find . -type f | sort | sed 's|^\./|  D:/|')
  echo "-- the launcher ini files"
  for ini in "$XDG_DATA_HOME/QuorvelLaucher.ini" "$XDG_DOCUMENTS_DIR/QuorvelLauncher/QuorvelLaucher.ini"; do
    [ -f "$ini" ] && { echo "  $ini:"; iconv -f UTF-16 -t UTF-8 "$ini" | sed 's/^/    /'; }
  done
  echo "-- the package's arguments"
  sed 's/^/  /' "$demo/record/package.args" 2>/dev/null || echo "  (the package never ran)"
  echo "-- the launcher's arguments"
  sed 's/^/  /' "$demo/record/launcher.args" 2>/dev/null || echo "  (the launcher never ran)"
}

if [ "$window" = 1 ]; then
  echo
  display=${DISPLAY:-}
  if [ -n "$display" ] && "$build/tests/xjwindowdriver" --probe --display "$display"; then
    echo "== 1. install in the window, on your display $display (the demo clicks by itself: watch)"
  else
    [ -n "$display" ] && echo "(your display $display cannot be reached from the demo's private network)"
    fd_file=$demo/xvfb.display
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" 2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do
      [ -s "$fd_file" ] && break
      sleep 0.1
    done
    [ -s "$fd_file" ] || { echo "Xvfb did not start"; exit 1; }
    display=:$(head -n 1 "$fd_file")
    echo "== 1. install in the window, on a virtual X server $display (Xvfb), driven by synthetic input"
  fi
  shots=$demo/window
  mkdir -p "$shots"
  set +e
  XJ_DISPLAY_BACKEND=x11 DISPLAY=$display "$HOME/prog/xjinstaller" &
  installer_pid=$!
  "$build/tests/xjwindowdriver" --display "$display" --out "$shots" --limit 120 >"$shots/pictures.txt"
  driven=$?
  [ "$driven" = 0 ] || kill -TERM "$installer_pid" 2>/dev/null
  wait "$installer_pid"
  code=$?
  set -e
  echo "exit code $code: $(meaning $code)"
  echo
  show_install
  "$build/tests/xjlogdecode" "$HOME"/prog/MiniLog/*.xjelog >"$shots/installer.log"
  rm -rf "$HOME/prog/MiniLog"
  echo "-- the run's log, decoded: $shots/installer.log"
  echo "-- pictures of the window, beside it:"
  sed 's/^/  /' "$shots/pictures.txt"
  [ "$driven" = 0 ] || { echo "the window could not be driven to the end"; exit 1; }
else
  echo
  echo "== 1. hidden install: xjinstaller -h -p 'D:\\Games\\QuorvelTarnvik'"
  set +e
  "$HOME/prog/xjinstaller" -h -p 'D:\Games\QuorvelTarnvik'
  code=$?
  set -e
  echo "exit code $code: $(meaning $code)"
  echo
  show_install
  echo "-- the installer's log, decoded"
  "$build/tests/xjlogdecode" "$HOME"/prog/MiniLog/*.xjelog | sed 's/^/  /'
  rm -rf "$HOME/prog/MiniLog"
fi

echo
echo "== 2. an ordinary run: xjinstaller (the client is installed and up to date)"
set +e
"$HOME/prog/xjinstaller"
code=$?
set -e
echo "exit code $code: $(meaning $code)"
echo "-- the launcher's arguments, both runs"
sed 's/^/  /' "$demo/record/launcher.args" 2>/dev/null || echo "  (the launcher never ran)"

stop_server
echo
echo "== what the update server and the collectors received"
awk '/^\[Servers\]/ { skip = 1 } skip && /^$/ { skip = 0; next } !skip' "$demo/server/server.log"
echo
echo "Everything is under $demo"
