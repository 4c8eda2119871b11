# Shared by the journeys (sourced): a real X display of its own (Xvfb; the
# server picks a free display number itself, so runs side by side do not
# collide; -noreset: the server stays up between one program and the next),
# the program started on a new database, real keys (xdotool), and the
# database read with SQL.
#   . lib.sh MOLVERA
set -uo pipefail
molvera=$(readlink -f "$1")
unset QT_QPA_PLATFORM
work=$(mktemp -d /tmp/molvera-journeys.XXXXXX)
pid=0
pid2=0
xvfb=0
# (A pid of 0 is never named: kill 0 would end the whole process group, ctest's too.)
stop_all() {
  local p
  for p in $pid $pid2 $xvfb; do [ "$p" != 0 ] && kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap stop_all EXIT
# -fbdir: the screen's pixels in a file (what the screen shows, not a new paint).
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp -noreset -fbdir "$work" \
  3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "journeys: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"
export HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
db=$work/molvera.db
failures=0

fail() {
  echo "FAIL [$journey]: $*"
  import -window root "$work/../molvera-journey-fail-$journey.png" 2>/dev/null || true
  failures=$((failures + 1))
}
sql() { sqlite3 -cmd '.timeout 5000' "$db" "$@"; }

# Waits up to 10 s for a query to answer the expected text.
expect_sql() {
  local query=$1 want=$2 got=""
  for _ in $(seq 100); do
    got=$(sql "$query" 2>&1)
    [ "$got" = "$want" ] && return 0
    sleep 0.1
  done
  fail "$query: expected '$want', got '$got'"
  return 1
}

# Visible top-level windows whose name contains the text.
windows_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }
expect_windows() {
  local name=$1 want=$2 got=""
  for _ in $(seq 100); do
    got=$(windows_named "$name")
    # A window just shown takes the keyboard a moment later, and a message
    # takes a key only once it can have been read (as a person's would come).
    [ "$got" = "$want" ] && { sleep 0.5; return 0; }
    sleep 0.1
  done
  fail "windows named '$name': expected $want, got $got"
}

# Starts the program on a new database and waits for its window.
start() {
  journey=$1
  [ "$pid" != 0 ] && { kill $pid 2>/dev/null; wait $pid 2>/dev/null; }
  rm -f "$db" "$db-wal" "$db-shm"
  "$molvera" "@DbName=$db;@UsuarioLogeado=OPERADOR;" >"$work/$journey.log" 2>&1 &
  pid=$!
  for _ in $(seq 300); do
    wid=$(xdotool search --onlyvisible --name '^MOLVERA' 2>/dev/null | head -1)
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || { fail "the window did not show"; cat "$work/$journey.log"; return 1; }
  xdotool windowfocus "$wid" 2>/dev/null || true
  sleep 0.3
}
keys() { xdotool key --delay "${delay:-40}" "$@"; }
# The key names that type a text (letters, digits, blank, . , - /), for one
# xdotool call with function keys among them: "spell Juan 1" gives "J u a n space 1".
spell() {
  local text=$* i c out=()
  for ((i = 0; i < ${#text}; i++)); do
    c=${text:i:1}
    case $c in
    " ") out+=(space) ;; .) out+=(period) ;; ,) out+=(comma) ;; -) out+=(minus) ;; /) out+=(slash) ;;
    *) out+=("$c") ;;
    esac
  done
  echo "${out[@]}"
}
typed() { xdotool type --delay "${delay:-40}" "$1"; }
today_rows="SELECT COUNT(*) FROM mv_molvera"
first="(SELECT MIN(id) FROM mv_molvera)"

# The end of a journey script: what failed, and the status.
finish() {
  [ "$failures" = 0 ] && echo "$(basename "$0" .sh): all passed" ||
    echo "$(basename "$0" .sh): $failures failed"
  [ "$failures" = 0 ]
}
