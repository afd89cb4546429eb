#!/usr/bin/env bash
# Runs the README's walkthroughs as written: every ```sh block that follows a
# "<!-- walkthrough -->" line, in order, each in its own bash with -e, from a
# folder whose "build" is the build tree under test. The local server and the
# temporary files live in a folder of the test's own.
set -euo pipefail
readme=$1 build=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/project" "$work/tmp"
ln -s "$build" "$work/project/build"
export MALVORN_LOCAL_SERVER=$work/server TMPDIR=$work/tmp

# Block n of the marked ones goes to $work/block-n.sh.
awk -v out="$work/block-" '
    /^<!-- walkthrough -->$/ { marked = 1; next }
    marked && /^```sh$/ { n++; inside = 1; marked = 0; next }
    inside && /^```$/ { inside = 0; next }
    inside { print > (out n ".sh") }
    { marked = 0 }
' "$readme"

# A mark must stand right above its block: one that does not would go unrun.
marks=$(grep -c '^<!-- walkthrough -->$' "$readme" || true)
blocks=("$work"/block-*.sh)
if [ ! -e "${blocks[0]}" ] || [ "${#blocks[@]}" -ne "$marks" ]; then
    echo "$marks walkthrough marks in $readme, but ${#blocks[@]} blocks right below one" >&2
    exit 1
fi
for block in $(printf '%s\n' "${blocks[@]}" | sort -V); do
    echo "== $(basename "$block") =="
    (cd "$work/project" && bash -euo pipefail -x "$block")
done
echo "${#blocks[@]} walkthroughs ran"
