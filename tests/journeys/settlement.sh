#!/usr/bin/env bash
# What a load is worth, through the real program: a load typed with 15.2 %
# humidity and its hectolitre weight gets its shrink, net kilograms and grade
# in the database at once; the seller's statement opens from the sheet's menu
# (the keyboard's menu key) and is written by the command line, with the load.
#   settlement.sh MOLVERA
. "$(dirname "$0")/lib.sh" "$1"

start settlement || exit 1
# The plant's standard: grade 1 from 78 kg/hl (before the day is loaded).
sql "INSERT INTO ta_grado (grado, pesohect_min) VALUES (1, 78)"
keys Return
expect_sql "$today_rows" 2
typed 30; keys Return
typed 'PEREZ ANGEL'; keys Tab
typed Pergamino; keys Tab
typed Pedro; keys Tab
# Across the gluten and falling number cells without an edit, to HUMEDAD.
keys Tab Tab Tab Tab
typed 15.2; keys Return
expect_sql "SELECT printf('%.2f', merma)||'|'||kg_netos||'|'||grado FROM mv_molvera
            WHERE id=$first" "2.22|29334|sin grado aún"
typed 80; keys Return
expect_sql "SELECT printf('%g', humedad)||'|'||printf('%.2f', merma)||'|'||kg_netos||'|'||grado
            ||'|'||(reglas_version = (SELECT version FROM ta_liquidacion)) FROM mv_molvera
            WHERE id=$first" "15.2|2.22|29334|1|1"
expect_sql "SELECT valor_nuevo||'|'||usuario FROM mv_molvera_historial WHERE id_registro=$first
            AND campo='kg_netos'" "29334|OPERADOR"

# The statement of the day from the sheet's menu: its preview opens, Esc
# closes it.
keys Menu
sleep 0.5
keys Down Down Down Down Return
expect_windows 'Resumen por vendedor - vista previa' 1
keys Escape
expect_windows 'Resumen por vendedor - vista previa' 0

# Printed without a window, while the desk works: the load under its seller.
today=$(date +%d/%m/%Y)
"$molvera" --statement "$today" "$today" --output "$work/resumen.csv" "@DbName=$db;" \
  >"$work/statement.log" 2>&1 || fail "--statement: $(cat "$work/statement.log")"
grep -q "^PEREZ ANGEL;;$today;[0-9]*;30[.,]000;15[.,]20;2[.,]22;29[.,]\?334;1" \
  "$work/resumen.csv" || fail "statement: $(cat "$work/resumen.csv")"
"$molvera" --statement "$today" "$today" --output "$work/resumen.pdf" "@DbName=$db;" \
  >>"$work/statement.log" 2>&1 || fail "--statement pdf: $(cat "$work/statement.log")"
if command -v pdftotext >/dev/null; then
  pdftotext -layout "$work/resumen.pdf" - | grep -q "Subtotal PEREZ ANGEL: 1 carga" ||
    fail "statement pdf: $(pdftotext -layout "$work/resumen.pdf" - | head -20)"
fi

finish
