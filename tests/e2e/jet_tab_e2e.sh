#!/usr/bin/env bash
# The JET=>Oracle tab as a user drives it: the real program on a virtual X
# server, keys and clicks from xdotool. Path typed, table box focused and the
# table chosen, 開始 pressed; then the stored script is compared byte for
# byte with the command line's and the table is looked for on the local
# server. Exit 77 (skipped) where no X server can start.
set -euo pipefail
malvorn=$1 reader=$2 cli=$3 sample=$4

for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed"
        exit 77
    fi
done

work=$(mktemp -d)
xvfb=
app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb names its display on the given descriptor once it accepts clients.
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
if ! read -r -t 20 display <&3; then
    echo "skipped: no X server could start"
    exit 77
fi
export DISPLAY=:$display

# The program runs from a folder of its own: its settings file lies beside it.
cp "$malvorn" "$reader" "$work/"
mkdir "$work/sql"
"$sample" "$work/shohin.mdb" >/dev/null
export MALVORN_LOCAL_SERVER=$work/server XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=xcb
"$cli" sql --user system --password tarnbol \
    "CREATE USER vembuser IDENTIFIED BY pw DEFAULT TABLESPACE users TEMPORARY TABLESPACE temp" \
    "GRANT DBA, RESOURCE, CONNECT TO vembuser" >/dev/null
printf '%s\r\n' '[frmMain]' 'txtSystem=vembuser' 'txtPassOfSystem=pw' 'txtNetServiceName=' \
    "txtSqlFolder=$work/sql" 'txtTablespace=users' 'txtIndex=indx' >"$work/Malvorn.ini"

"$work/malvorn" >"$work/malvorn.log" 2>&1 &
app=$!
window=$(xdotool search --sync --onlyvisible --name '^Malvorn \(ADO\)$' | head -1)
xdotool windowfocus --sync "$window"
eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y of the client area

click() {  # a point of the window, in pixels from its corner
    xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1
}

# From the first field, back one stop is the tab strip; Right shows JET=>Oracle.
xdotool key --delay 50 shift+Tab Right
click 400 192                        # txtDbPath
xdotool type --delay 5 "$work/shohin.mdb"
click 290 219                        # cboTable: its focus lists the tables
xdotool key --delay 100 alt+Down Down Return   # the list opened, its first table chosen
click 700 424                        # 開始 of the conversion

# The run ends with the script stored and the table created; wait for the
# second (the table on the server) with a bound.
for _ in $(seq 100); do
    if "$cli" sql --user vembuser --password pw "SELECT COUNT(*) FROM SHOHIN" >/dev/null 2>&1; then
        break
    fi
    read -r -t 0.1 <&3 || true
done


"$cli" script "$work/shohin.mdb" SHOHIN --date "$(date +%Y/%m/%d)" >"$work/expected.sql"
if ! cmp "$work/sql/SHOHIN.sql" "$work/expected.sql"; then
    echo "SHOHIN.sql is not the script the command line makes"
    exit 1
fi
"$cli" sql --user vembuser --password pw "SELECT COUNT(*) FROM SHOHIN"
echo "passed: SHOHIN.sql byte for byte, table SHOHIN on the local server"
