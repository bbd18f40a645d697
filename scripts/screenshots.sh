#!/usr/bin/env bash
# Screenshots of the running program, to look at the screens: the login, the main window, the
# system page, the operator list and the operation log. Runs the real program under xvfb-run with a scratch data folder, logs in as
# the administrator by typing into the login (xdotool) and grabs the screen (ImageMagick).
#   scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
# Needs: xvfb, xauth, xdotool, imagemagick, fonts-noto-cjk.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=$(realpath "${1:-${SELVO_BUILD_DIR:-build}}")
OUT_DIR=$(realpath -m "${2:-screenshots}")
SELVO="$BUILD_DIR/src/gui/selvo"
CLI="$BUILD_DIR/src/cli/selvo-cli"
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
[ -x "$SELVO" ] || { echo "build first: $SELVO not found" >&2; exit 2; }

mkdir -p "$OUT_DIR"
DATA=$(mktemp -d)
trap 'rm -rf "$DATA"' EXIT
# A shop with a name, so the status text has something to show.
"$CLI" init --data "$DATA" >/dev/null
if command -v sqlite3 >/dev/null; then
  sqlite3 "$DATA/hydb.db" "UPDATE tb_StoreInfo SET StoreName = '岚拓演示店'"
fi

export SELVO="$DATA" SELVO_BIN="$SELVO" OUT_DIR
xvfb-run -a -s "-screen 0 1280x800x24" bash -euo pipefail -c '
  SELVO_DATA_DIR="$SELVO" XDG_CONFIG_HOME="$SELVO/config" "$SELVO_BIN" &
  pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  login=$(xdotool search --sync --name "登陆 - 岚拓销售记帐系统" | head -1)
  sleep 1
  import -window root "$OUT_DIR/login.png"
  xdotool windowfocus --sync "$login"
  xdotool type --delay 50 admin
  xdotool key Return
  main=$(xdotool search --sync --name "岚拓销售系统   管理员" | head -1)
  sleep 1
  echo "main window: $(xdotool getwindowname "$main")"
  import -window root "$OUT_DIR/main.png"
  # The fourth tab, "系统管理": tabs start 2 px in, at least 100 px wide, 35 px high.
  xdotool mousemove --window "$main" 355 17 click 1
  sleep 1
  import -window root "$OUT_DIR/system.png"
  # The operator list and the log, opened from the system page.
  xdotool mousemove --window "$main" 122 105 click 1
  xdotool search --sync --name "^售货员管理$" >/dev/null
  sleep 1
  import -window root "$OUT_DIR/operators.png"
  xdotool key Escape
  sleep 0.5
  xdotool mousemove --window "$main" 674 105 click 1
  log=$(xdotool search --sync --name "^操作日志$" | head -1)
  sleep 1
  # "查询" in the filter bar: the login above is today'"'"'s line.
  xdotool mousemove --window "$log" 618 25 click 1
  sleep 1
  import -window root "$OUT_DIR/log.png"
'
echo "screenshots in $OUT_DIR: login.png main.png system.png operators.png log.png"
