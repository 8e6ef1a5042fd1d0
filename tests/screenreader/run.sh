#!/usr/bin/env bash
# A screen reader's view of the list view: the peer's window runs under a virtual display with a
# session bus and the accessibility bus; reader.py walks the desktop's accessibility tree to the
# list and must read the three photos by name and the selected one. Exits 77 (skipped) when this
# machine cannot run the buses.
#   tests/screenreader/run.sh <list_peer>
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
peer=${1:?the list_peer executable}
launcher=$(ls /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher 2>/dev/null | head -1)
for tool in Xvfb dbus-run-session; do
  command -v $tool >/dev/null || { echo "SKIP: needs $tool" >&2; exit 77; }
done
[ -n "$launcher" ] || { echo "SKIP: needs at-spi2-core's bus launcher" >&2; exit 77; }
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "SKIP: needs python3-pyatspi" >&2; exit 77; }

inner() {
  set -uo pipefail
  work=$(mktemp -d)
  chmod 700 "$work"
  export XDG_RUNTIME_DIR=$work
  display=:$((200 + RANDOM % 300))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  "$launcher" --launch-immediately >"$work/bus.log" 2>&1 &
  bus=$!
  cleanup() {
    kill "${app:-}" "$bus" "$xvfb" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
  }
  trap cleanup EXIT
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  export DISPLAY=$display QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
  "$peer" >"$work/peer.log" 2>&1 &
  app=$!
  out=$(/usr/bin/python3 "$here/reader.py" 40)
  rc=$?
  echo "$out"
  if [ $rc -ne 0 ]; then
    if ! kill -0 "$bus" 2>/dev/null; then echo "SKIP: the accessibility bus did not start" >&2; cat "$work/bus.log" >&2; exit 77; fi
    cat "$work/peer.log" >&2
    exit 1
  fi
  expected=$'ITEM beach.jpg\nITEM dog.jpg\nSELECTED dog.jpg\nITEM cat.jpg'
  [ "$out" = "$expected" ] || { echo "expected:" >&2; echo "$expected" >&2; exit 1; }
}
export -f inner
export launcher peer here
dbus-run-session -- bash -c inner
