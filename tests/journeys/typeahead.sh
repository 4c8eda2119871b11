#!/usr/bin/env bash
# Journeys of keys typed ahead through windows that open and close: the
# built molvera in a real X display, real keys at a scanner's pace (5 ms a
# key, no pause), the database file read with SQL afterwards.
#   typeahead.sh MOLVERA
. "$(dirname "$0")/lib.sh" "$1"

# 1. Twenty truckloads typed in one burst, each with its seller picked from
# a list of 20,000 by F4: the keys typed before the list is on the screen
# belong to its search box, the keys typed right after the pick belong to
# the next cell.
start pick-list || exit 1
sql "INSERT INTO mv_molvera (fecha, toneladas, vendedor)
     WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)
     SELECT '2020-01-01 00:00:00', 1, 'Vendedor ' || printf('%05d', i) FROM n"
keys Return
expect_sql "$today_rows" 20002
burst=()
for i in $(seq 20); do
  burst+=(F2 $(spell $((i + 10))) Return F4 $(spell "Vendedor $((10000 + i * 7))") Return
          $(spell "Proc$i") Return)
done
delay=5 keys "${burst[@]}"
expect_sql "SELECT COUNT(*) FROM (SELECT CAST(toneladas AS INTEGER) - 10 AS i, vendedor, procedencia
            FROM mv_molvera WHERE fecha > '2021') WHERE procedencia = 'Proc' || i
            AND vendedor = 'Vendedor ' || (10000 + i * 7)" 20
expect_windows 'Consulta' 0

# 2. A refused value, then the next truckload typed on: the message is read,
# not typed through. The keys typed while it comes up are discarded (never
# added to the refused text), and only a deliberate key closes it.
start refused || exit 1
keys Return
expect_sql "$today_rows" 2
keys Right Right Right Right Right Right Right Right
delay=5 keys 7 5 Return $(spell "Vendedor Zamora Hnos y Cia Vendedor Zamora Hnos y Cia Vendedor Zamora")
expect_windows 'Atenci' 1
keys Return
expect_windows 'Atenci' 0
keys Escape
typed 12; keys Return
expect_sql "SELECT ifnull(humedad,'')||'|'||ifnull(vendedor,'')||'|'||(SELECT COUNT(*) FROM mv_molvera)
            FROM mv_molvera WHERE id=$first" "12.0||2"

# 3. Down ends an edit and keeps the column, as Up does; F6 with an edit open
# writes it before the report is made.
start down-report || exit 1
keys Return
expect_sql "$today_rows" 2
delay=5 keys 5 Down 7 Return
expect_sql "SELECT group_concat(printf('%g',toneladas),'|') FROM (SELECT toneladas FROM mv_molvera
            ORDER BY id)" "5|7"
typed Juan; keys F6
expect_windows 'vista previa' 1
expect_sql "SELECT vendedor FROM mv_molvera WHERE id=(SELECT MAX(id) FROM mv_molvera)" Juan
keys Escape
expect_windows 'vista previa' 0

# 4. The accent key of the Latin-American keyboard composes in the sheet's
# cells, also when the keys wait behind another desk's write (they come to
# the program all at once).
setxkbmap latam
start accents || exit 1
keys Return
expect_sql "$today_rows" 2
(echo 'BEGIN IMMEDIATE;'; sleep 0.6; echo 'COMMIT;') | sqlite3 "$db" &
sleep 0.1
delay=5 keys 1 Return shift+p dead_acute e r e z Tab dead_acute shift+a n g e l Return
wait $!
expect_sql "SELECT vendedor||'|'||procedencia FROM mv_molvera WHERE id=$first" "Pérez|Ángel"
setxkbmap us

# 5. Two desks open the same new day at the same moment (both wait behind a
# third writer): the day gets its two first rows once.
start new-day || exit 1
first_window=$wid
"$molvera" "@DbName=$db;@UsuarioLogeado=OTRO;" >"$work/new-day-2.log" 2>&1 &
pid2=$!
second_window=""
for _ in $(seq 300); do
  second_window=$(xdotool search --onlyvisible --name '^MOLVERA' 2>/dev/null | grep -vx "$first_window" | head -1)
  [ -n "$second_window" ] && break
  sleep 0.1
done
[ -n "$second_window" ] || fail "the second desk did not show"
sleep 0.3
(echo 'BEGIN IMMEDIATE;'; sleep 1; echo 'COMMIT;') | sqlite3 "$db" &
sleep 0.1
xdotool windowfocus "$first_window" 2>/dev/null; keys Return
xdotool windowfocus "$second_window" 2>/dev/null; keys Return
wait $!
sleep 1.5
expect_sql "$today_rows" 2

finish
