#!/usr/bin/env bash
# Pictures of the five pages of the main window for docs/, taken under a
# virtual X server. The program runs from a scratch folder with a sample
# settings file, so neither the build's nor the user's settings are touched.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target malvorn malvorn-jet-reader malvorn-cli \
    make-jet-sample

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$build/src/app/malvorn" "$scratch/"
# The settings file is CP932 with CR LF, as the program writes it.
printf '%s\r\n' '[frmMain]' 'txtSystem=tarnbol' 'txtPassOfSystem=tarnbol' \
    'txtNetServiceName=ORCL' 'txtUserID=hanbai' 'txtPassword=hanbai' \
    'txtDbPath=/srv/jet/販売管理.mdb' 'txtSqlFolder=/srv/sql' 'txtTablespace=users' \
    'txtIndex=indx' 'txtScriptPath=/srv/sql/CreateTables.sql' \
    'txtSQL=\!SELECT 表名, 列名, IDNO\r\n  FROM LFIDNO\r\n ORDER BY 表名' |
    iconv -f UTF-8 -t CP932 >"$scratch/Malvorn.ini"

mkdir -p docs
names=(users jet-to-oracle idno-table sql)
for tab in 1 2 3 4; do
    out="docs/window-$tab-${names[tab - 1]}.png"
    XDG_RUNTIME_DIR="$scratch" MALVORN_SCREENSHOT="$PWD/$out" MALVORN_SCREENSHOT_TAB=$tab \
        QT_QPA_PLATFORM=xcb xvfb-run -a -s '-screen 0 1280x1024x24' "$scratch/malvorn"
    echo "saved $out"
done

# The migration page after a run of a whole database into a local server:
# the Northwind file of the fixtures when it is there, else the sample file.
db=${MALVORN_SCREENSHOT_DB:-/work/shared/fixtures/real/nwind.mdb}
if [ -f "$db" ]; then
    cp "$db" "$scratch/" && db=$scratch/$(basename "$db")
else
    db=$scratch/shohin.mdb
    "$build/tools/jet_builder/make-jet-sample" "$db" >/dev/null
fi
cp "$build/src/jet/malvorn-jet-reader" "$scratch/"
export MALVORN_LOCAL_SERVER=$scratch/server
"$build/src/cli/malvorn-cli" sql --user system --password tarnbol \
    "CREATE USER hanbai IDENTIFIED BY hanbai DEFAULT TABLESPACE users TEMPORARY TABLESPACE temp" \
    "GRANT DBA, RESOURCE, CONNECT TO hanbai" >/dev/null
printf '%s\r\n' '[frmMain]' 'txtSystem=hanbai' 'txtPassOfSystem=hanbai' 'txtNetServiceName=' \
    '[frmMigration]' "txtMigDbPath=$db" | iconv -f UTF-8 -t CP932 >"$scratch/Malvorn.ini"
out=docs/window-5-migration.png
XDG_RUNTIME_DIR="$scratch" MALVORN_SCREENSHOT="$PWD/$out" MALVORN_SCREENSHOT_TAB=5 \
    QT_QPA_PLATFORM=xcb xvfb-run -a -s '-screen 0 1280x1024x24' "$scratch/malvorn"
echo "saved $out"
