#!/usr/bin/env bash
# Journeys of the database's files: the built molvera in a real X display,
# real keys, the database file read with SQL afterwards. The export's save
# dialog never takes the database, and a SIGTERM (a logout, a shutdown)
# leaves the database file complete by itself.
#   files.sh MOLVERA
. "$(dirname "$0")/lib.sh" "$1"

# 1. The export's save dialog (Ctrl+E) given the database's own name: refused
# in words before any question to replace it, the dialog still open with the
# keyboard; "*" typed filters its list instead of saving a file named "*.csv".
start export-guard || exit 1
keys Return
expect_sql "$today_rows" 2
keys ctrl+e
expect_windows 'Exportar la planilla' 1
keys ctrl+a; typed "$db"; keys Return
expect_windows 'Aviso al operador' 1
sleep 0.4 # read, then closed by a deliberate key
keys Return
expect_windows 'Aviso al operador' 0
expect_windows 'Exportar la planilla' 1
keys ctrl+a; typed '*'; keys Return
sleep 0.5
expect_windows 'Exportar la planilla' 1
keys Escape
expect_windows 'Exportar la planilla' 0
{ [ -e "$PWD/*.csv" ] || [ -e "$work/*.csv" ]; } && fail "a file named *.csv was saved"
[ "$(sql 'PRAGMA integrity_check')" = ok ] || fail "the database is damaged"
typed 4; keys Return
expect_sql "SELECT printf('%g',toneladas) FROM mv_molvera WHERE id=$first" 4

# 2. SIGTERM while a value is being typed and another program has the
# database open: the desk ends with status 0 within a second, the open edit
# is not written, and molvera.db copied alone (without its -wal) holds every
# accepted value.
start sigterm || exit 1
keys Return
expect_sql "$today_rows" 2
typed 21; keys Return
expect_sql "SELECT printf('%g',toneladas) FROM mv_molvera WHERE id=$first" 21
{ echo 'SELECT 1;'; sleep 3; } | sqlite3 "$db" >/dev/null &
other=$!
sleep 0.3
typed Juan
sleep 0.3
t0=$(date +%s%N)
kill -TERM $pid
wait $pid
status=$?
took=$((($(date +%s%N) - t0) / 1000000))
[ "$status" = 0 ] || fail "SIGTERM ended the desk with status $status"
[ "$took" -lt 1000 ] || fail "SIGTERM took $took ms"
cp "$db" "$work/alone.db"
got=$(sqlite3 "$work/alone.db" "SELECT printf('%g',toneladas)||'|'||ifnull(vendedor,'')
                                FROM mv_molvera ORDER BY id LIMIT 1" 2>&1)
[ "$got" = "21|" ] || fail "molvera.db alone holds '$got', expected '21|'"
kill $other 2>/dev/null
wait $other 2>/dev/null

finish
