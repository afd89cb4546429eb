#!/usr/bin/env bash
# Files over 600 lines and functions over 80 lines in src, tests, tools and
# bench. A function here is what clang-format leaves at the left margin: a
# line that opens a brace and is no namespace, class, struct, enum or
# initialiser, up to the "}" at the margin that closes it.
set -euo pipefail
cd "$(dirname "$0")/.."
max_file=${MAX_FILE_LINES:-600} max_function=${MAX_FUNCTION_LINES:-80}
files=$(find src tests tools bench \( -name '*.cpp' -o -name '*.h' \) | sort)
status=0
for f in $files; do
    lines=$(wc -l <"$f")
    if [ "$lines" -gt "$max_file" ]; then
        echo "$f: $lines lines (over $max_file)"
        status=1
    fi
done
# shellcheck disable=SC2086
awk -v max="$max_function" '
    function opens(line) { return line ~ /[{]$/ }
    FNR == 1 { start = 0; pending = 0 }
    # A signature at the margin, on one line or several.
    start == 0 && /^[A-Za-z~].*[(]/ && !/^(namespace|class|struct|enum|union|extern|using|template|return)/ &&
        !/;$/ && !/ = / { pending = FNR; name = $0 }
    pending && opens($0) { start = pending; pending = 0; next }
    pending && /;$/ { pending = 0 }
    start && /^}/ {
        if (FNR - start - 1 > max) {
            printf "%s:%d: function of %d lines (over %d): %s\n", FILENAME, start,
                   FNR - start - 1, max, name
            found = 1
        }
        start = 0
    }
    END { exit found }
' $files || status=1
exit $status
