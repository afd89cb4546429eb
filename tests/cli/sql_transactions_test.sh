#!/bin/bash
# malvorn-cli sql: the statements of one command form one transaction.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MALVORN_LOCAL_SERVER=$work/server
sql() { "$cli" sql --user system --password tarnbol "$@" 2>>"$work/errors"; }
ids() { sql "SELECT ID FROM T ORDER BY ID" | tail -n +2 | tr '\n' ' '; }
fail() {
    echo "FAIL: $*"
    cat "$work/errors"
    exit 1
}

sql "CREATE TABLE T (ID NUMBER PRIMARY KEY)" || fail "create"

# ROLLBACK and savepoints among the statements; what is left is committed.
sql "INSERT INTO T VALUES (1)" "ROLLBACK" "INSERT INTO T VALUES (2)" "SAVEPOINT s" \
    "INSERT INTO T VALUES (3)" "ROLLBACK TO SAVEPOINT s" || fail "savepoints"
[ "$(ids)" = "2 " ] || fail "after savepoints: $(ids)"

# The first failing statement stops the command and rolls back what was
# pending; a COMMIT before it stays.
if sql "INSERT INTO T VALUES (6)" "COMMIT" "INSERT INTO T VALUES (4)" \
    "INSERT INTO T VALUES (2)" "INSERT INTO T VALUES (5)"; then
    fail "a failing statement exited 0"
fi
[ "$(ids)" = "2 6 " ] || fail "after the failure: $(ids)"
grep -q "ORA-00001" "$work/errors" || fail "no ORA-00001 reported"
echo ok
