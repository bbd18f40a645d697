#!/usr/bin/env bash
# Checks on a real X server that a toast takes no input: a click on a field under a toast reaches
# the field and the keys typed next land in it. Runs the probe twice under xvfb-run: without a
# window manager and under openbox.
#   scripts/toast-input-check.sh PROBE    (PROBE: the build's tests/selvo_toast_probe)
# Needs: xvfb, xauth, xdotool, openbox, x11-utils (xprop). Exits 77 when a tool is missing.
set -euo pipefail
PROBE=$(realpath "${1:?usage: $0 PROBE}")
for tool in xvfb-run xdotool openbox xprop; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (skipped)"; exit 77; }
done

run() { # $1: "none" or a window manager command
  PROBE="$PROBE" WM="$1" xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
    if [ "$WM" != none ]; then
      $WM >/dev/null 2>&1 &
      # Until the window manager has announced itself.
      for _ in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
        sleep 0.1
      done
    fi
    out=$(mktemp)
    QT_QPA_PLATFORM=xcb "$PROBE" 3 >"$out" 2>/dev/null &
    pid=$!
    for _ in $(seq 100); do grep -q "^click" "$out" && break; sleep 0.1; done
    read -r _ x y < <(grep "^click" "$out")
    xdotool mousemove "$x" "$y" click 1
    sleep 0.3
    xdotool type --delay 30 138
    rc=0
    wait $pid || rc=$?
    echo "window manager: $WM: $(tail -1 "$out")"
    rm -f "$out"
    exit $rc
  '
}

status=0
run none || status=1
run openbox || status=1
exit $status
