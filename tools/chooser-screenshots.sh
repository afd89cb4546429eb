#!/usr/bin/env bash
# Pictures of the chooser dialog for docs/, taken under a virtual X server on
# a sample folder tree in a scratch folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target chooser_screenshot

# No dot in the scratch path: a path with a dot is taken for a file path.
scratch=$(mktemp -d /tmp/malvorn-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
srv="$scratch/srv"
mkdir -p "$srv/jet/2023" "$srv/jet/backup" "$srv/sql/old"
touch "$srv/jet/販売管理.mdb" "$srv/jet/顧客台帳.mdb" "$srv/jet/在庫.sdb" "$srv/jet/readme.txt"
touch "$srv/sql/CreateTables.sql" "$srv/sql/CreateAdmin.sql" "$srv/sql/LFIDNO.sql" \
    "$srv/sql/商品マスタ.sql" "$srv/sql/メモ.txt" "$srv/sql/run.log"

mkdir -p docs
shoot() { # mode, start path, picture
    (cd "$scratch" && XDG_RUNTIME_DIR="$scratch" QT_QPA_PLATFORM=xcb \
        xvfb-run -a -s '-screen 0 1280x1024x24' "$OLDPWD/$build/tools/chooser_screenshot" \
        "$1" "$2" "$OLDPWD/$3")
    echo "saved $3"
}
shoot File "$srv/jet/販売管理.mdb" docs/chooser-file.png
shoot Folder "$srv/sql" docs/chooser-folder.png
