#!/usr/bin/env bash
# Screenshots of the till's screens on a 1024×768 screen, to look at what a cashier sees: the sale
# screen with a member and a cart, the settlement dialog in each payment mode (switched with the
# arrow keys), the member list and the recharge dialog. Runs the real program under xvfb-run and
# openbox with a scratch shop, drives it with xdotool and grabs the screen (ImageMagick).
#   scripts/screenshots-till.sh [BUILD_DIR] [OUT_DIR]
# Needs: xvfb, xauth, xdotool, openbox, imagemagick, sqlite3, fonts-noto-cjk.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=$(realpath "${1:-${SELVO_BUILD_DIR:-build}}")
OUT_DIR=$(realpath -m "${2:-screenshots}")
SELVO="$BUILD_DIR/src/gui/selvo"
CLI="$BUILD_DIR/src/cli/selvo-cli"
for tool in xvfb-run xdotool import openbox sqlite3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done
[ -x "$SELVO" ] || { echo "build first: $SELVO not found" >&2; exit 2; }

mkdir -p "$OUT_DIR"
DATA=$(mktemp -d)
trap 'rm -rf "$DATA"' EXIT
"$CLI" init --data "$DATA" >/dev/null
sqlite3 "$DATA/hydb.db" <<'SQL'
UPDATE tb_StoreInfo SET StoreName = '岚拓演示店', YuanToInteral = 10, InteralToYuan = 100;
INSERT INTO tb_productTypes(PrdTypeName, Pid) VALUES('饮料', 0);
INSERT INTO tb_product(PrdCode, PrdName, FirstSpell, Price, PurchasePrice, PrdType, MeasuringUnit, MustIntNum,
                       PrdInventory, State, PrdProperty)
VALUES('6901234567890', '农夫山泉天然饮用水550ml', 'NFSQTRYYS', 2.5, 1.2, 1, '瓶', 1, 240, 1, 1),
      ('6907992100010', '伊利纯牛奶250ml整箱', 'YLCNN', 1234.56, 980, 1, '箱', 1, 12, 1, 2),
      ('6920202888883', '红牛维生素功能饮料', 'HNWSSGNYL', 6, 4.1, 1, '罐', 1, 48, 1, 1);
INSERT INTO tb_members(MemberCode, TrueName, FirstSpell, MobilePhone, Sex, Integral, Cumulative, Balance,
                       UserState, AddDate, LastEditDate)
VALUES('VIP20260102001', '张三', 'ZS', '13812345678', -1, 5000, 8888.5, 20, 0,
       '2026-01-02 10:00:58', '2026-12-28 20:58:58'),
      ('VIP20260102002', '李四', 'LS', '13998765432', 0, 120, 99.9, 12345.67, 1,
       '2026-02-03 09:08:07', NULL);
SQL

export SELVO="$DATA" SELVO_BIN="$SELVO" OUT_DIR
xvfb-run -a -s "-screen 0 1024x768x24" bash -euo pipefail -c '
  openbox >/dev/null 2>&1 &
  for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
  done
  SELVO_DATA_DIR="$SELVO" XDG_CONFIG_HOME="$SELVO/config" "$SELVO_BIN" &
  pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  shot() { sleep 1; import -window root "$OUT_DIR/$1.png"; echo "$1.png"; }
  login=$(xdotool search --sync --name "登陆 - 岚拓销售记帐系统" | head -1)
  sleep 1
  xdotool windowfocus --sync "$login"
  xdotool type --delay 50 admin
  xdotool key Return
  main=$(xdotool search --sync --name "岚拓销售系统   管理员" | head -1)
  sleep 2
  xdotool windowfocus --sync "$main"
  # The cart: each product code typed into the search box (Ctrl+F) and Enter, as a scanner does.
  for code in 6901234567890 6907992100010 6920202888883 6901234567890; do
    xdotool key ctrl+f
    xdotool type --delay 20 "$code"
    xdotool key Return
    sleep 0.3
  done
  # F10 without a member: "会员", then the picker finds the member by mobile number.
  xdotool key F10
  xdotool search --sync --name "^请选择客户类型$" >/dev/null
  sleep 0.5
  xdotool key Tab space
  xdotool search --sync --onlyvisible --name "^选择会员$" >/dev/null || true
  sleep 1
  xdotool type --delay 50 138123
  sleep 0.5
  xdotool key Return
  xdotool search --sync --name "^结算帐单$" >/dev/null
  shot settlement-cash
  # Back from the cash field into the payment buttons (the last one takes the focus), left to the
  # ticked one, then each arrow key ticks the next button and changes the mode.
  xdotool key shift+Tab Left Left Right
  shot settlement-balance
  xdotool key Right
  shot settlement-points
  xdotool key Escape
  sleep 0.5
  shot sale
  # The member page: the third tab.
  xdotool mousemove --window "$main" 255 17 click 1
  shot members
  # The recharge dialog for the selected member, from the button of the member page.
  xdotool mousemove --window "$main" 100 107 click 1
  xdotool mousemove --window "$main" 423 54 click 1
  xdotool search --sync --onlyvisible --name "^会员充值" >/dev/null || true
  shot topup
'
echo "screenshots in $OUT_DIR"
