#!/usr/bin/env bash
# Journeys through the real program: the built molvera in a real X display
# (Xvfb), driven by real key events (xdotool) with the focus where an
# operator's would be, and the database file read with SQL afterwards.
#   journeys.sh MOLVERA
. "$(dirname "$0")/lib.sh" "$1"

# 1. A truckload by keyboard: Enter in the date box loads today's sheet; the
# cells are ended with Enter and with Tab (both write and move right).
start keyboard || exit 1
keys Return
expect_sql "$today_rows" 2
typed 21; keys Return
typed Juan; keys Tab
typed Pergamino; keys Return
typed Pedro; keys shift+Tab
typed Arrecifes; keys Return
# Tab in the grid moves across without an edit.
keys Tab Tab
typed 11; keys Return
expect_sql "SELECT printf('%g',toneladas)||'|'||vendedor||'|'||procedencia||'|'||ifnull(camionero,'')
            ||'|'||printf('%g',seco) FROM mv_molvera WHERE id=$first" "21|Juan|Arrecifes|Pedro|11"

# 2. F2, F3 and F4 pressed while a cell is being edited: each runs its command
# once, the open edit is written first, and the keyboard stays in the sheet.
start editor-keys || exit 1
keys Return
expect_sql "$today_rows" 2
typed 7; keys F2
expect_sql "$today_rows" 3
expect_sql "SELECT printf('%g',toneladas) FROM mv_molvera WHERE id=$first" 7
typed 9; keys Return
expect_sql "SELECT printf('%g',toneladas) FROM mv_molvera WHERE id=(SELECT MAX(id) FROM mv_molvera)" 9
typed Acopio; keys F4
expect_windows 'Consulta' 1
keys Escape
expect_windows 'Consulta' 0
keys Return
expect_sql "SELECT vendedor FROM mv_molvera WHERE id=(SELECT MAX(id) FROM mv_molvera)" Acopio
keys Up Up
typed 5; keys F3
expect_windows 'Atenci' 1
keys Return
expect_windows 'Atenci' 0
# The row being edited is the one deleted; the sheet read again.
expect_sql "SELECT COUNT(*) FROM mv_molvera WHERE toneladas=7" 0
expect_sql "$today_rows" 2

# 3. "Ejecutar": a click, then Alt+E after Cancelar, load the typed date.
start ejecutar || exit 1
keys ctrl+a; typed 01/03/2025

xdotool mousemove --window "$wid" 482 25 click 1
expect_sql "SELECT COUNT(*) FROM mv_molvera WHERE fecha >= '2025-03-01' AND fecha < '2025-03-02'" 2
keys F8
keys ctrl+a; typed 02/03/2025; keys alt+e
expect_sql "SELECT COUNT(*) FROM mv_molvera WHERE fecha >= '2025-03-02' AND fecha < '2025-03-03'" 2

# 4. Ctrl+Enter from an open edit writes it and goes to the silo tab, where
# typing reaches no cell; Ctrl+Enter there comes back to the sheet, the cursor
# on the cell it left.
start tabs || exit 1
keys Return
expect_sql "$today_rows" 2
typed 3; keys ctrl+Return
expect_sql "SELECT printf('%g',toneladas) FROM mv_molvera WHERE id=$first" 3
typed 8; keys Return
keys ctrl+Return
typed 6; keys Return
expect_sql "SELECT printf('%g',toneladas)||'|'||(SELECT COUNT(*) FROM mv_molvera WHERE
            vendedor='8' OR toneladas=8) FROM mv_molvera WHERE id=$first" "6|0"

# 5. A truckload typed at 10 ms a key while another workstation holds the
# write lock for half a second: every key reaches the cell it was typed for.
start typeahead || exit 1
keys Return
expect_sql "$today_rows" 2
(echo 'BEGIN IMMEDIATE;'; sleep 0.5; echo 'COMMIT;') | sqlite3 "$db" &
sleep 0.1
delay=10 keys 2 1 Return 3 5 Return P 1 Return 1 2 Return
wait $!
expect_sql "SELECT printf('%g',toneladas)||'|'||vendedor||'|'||procedencia||'|'||camionero
            FROM mv_molvera WHERE id=$first" "21|35|P1|12"

# 6. Two truckloads typed at 8 ms a key at the end of a sheet longer than the
# window: what the screen shows is what the sheet shows when painted whole
# (the silo tab and back).
start long-sheet || exit 1
keys Return
expect_sql "$today_rows" 2
sql "INSERT INTO v_mv_molvera (Fecha, vendedor) SELECT fecha, 'V' || id FROM mv_molvera, (
     SELECT 1 UNION ALL SELECT 2 UNION ALL SELECT 3 UNION ALL SELECT 4 UNION ALL SELECT 5
     UNION ALL SELECT 6 UNION ALL SELECT 7 UNION ALL SELECT 8 UNION ALL SELECT 9
     UNION ALL SELECT 10 UNION ALL SELECT 11 UNION ALL SELECT 12 UNION ALL SELECT 13
     UNION ALL SELECT 14 UNION ALL SELECT 15 UNION ALL SELECT 16 UNION ALL SELECT 17
     UNION ALL SELECT 18 UNION ALL SELECT 19 UNION ALL SELECT 20)"
keys F8 Return
expect_sql "$today_rows" 42
for load in 1 2; do
  delay=8 keys F2 3 1 Tab V Tab P Tab C Tab 2 7 Tab 9 Tab B Tab 3 5 5 Tab
done
expect_sql "SELECT COUNT(*) FROM mv_molvera WHERE camionero = 'C' AND fallingnumber = 355" 2
sleep 0.5
cp "$work/Xvfb_screen0" "$work/shown"
keys ctrl+Return; sleep 0.3; keys ctrl+Return; sleep 0.5
cmp -s "$work/Xvfb_screen0" "$work/shown" ||
  fail "the sheet on the screen differs from the sheet painted whole"

finish
