#!/usr/bin/env bash
# The Debian package as a distribution takes it: made by cpack from the build
# folder into a folder of its own, checked by lintian (-I -E --pedantic: no
# error, no warning, and none of the notes on hardening and stripping), its
# files, owners and dependencies read with dpkg-deb, and what it installs
# (manual page, desktop entry, AppStream metadata, the program itself) read
# from a throw-away copy of its files.
# Arguments: the build folder, the maintainer and the version it must carry.
set -euo pipefail
build=$1 maintainer=$2 version=$3
fail() { echo "package: $*" >&2; exit 1; }
for tool in cpack dpkg-deb lintian appstreamcli readelf; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/packages installs it)"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/*.deb)
[ "$(basename "$deb")" = "molvera_${version}_amd64.deb" ] || fail "package named $(basename "$deb")"

# lintian: any error or warning fails, and so do the notes Debian's own
# packages never carry (built without hardening, unstripped).
status=0
lintian --fail-on error,warning -I -E --pedantic "$deb" >"$work/lintian.txt" \
  2>"$work/lintian.err" || status=$?
cat "$work/lintian.txt"
# 1: lintian itself failed; 2: it found errors or warnings (below).
[ "$status" != 1 ] || { cat "$work/lintian.err" >&2; fail "lintian could not check the package"; }
if grep -E '^[EW]: ' "$work/lintian.txt"; then fail "lintian reports errors or warnings"; fi
for tag in hardening-no-bindnow hardening-no-fortify-functions hardening-no-relro \
  binary-has-unneeded-section unstripped-binary-or-object no-manual-page no-copyright-file \
  no-changelog; do
  if grep -q -- "$tag" "$work/lintian.txt"; then fail "lintian: $tag"; fi
done

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Version)" = "$version" ] || fail "version $(field Version)"
[ "$(field Maintainer)" = "$maintainer" ] || fail "maintainer $(field Maintainer)"
depends=$(field Depends)
for dep in qt6-qpa-plugins libqt6sql6-sqlite libqt6widgets6 libqt6sql6 libqt6serialport6 \
  libsqlite3-0 libodbc2 libc6; do
  grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
field Description | awk 'length > 80 { bad = 1; print "long line: " $0 } END { exit bad }' ||
  fail "description lines over 80 characters"

# Files, all root's.
dpkg-deb -c "$deb" >"$work/contents.txt"
for f in ./usr/bin/molvera ./usr/share/man/man1/molvera.1.gz ./usr/share/doc/molvera/copyright \
  ./usr/share/doc/molvera/changelog.Debian.gz ./usr/share/applications/molvera.desktop \
  ./usr/share/metainfo/ar.com.molvera.molvera.metainfo.xml \
  ./usr/share/icons/hicolor/scalable/apps/molvera.svg ./usr/share/molvera/reports/Rp_molvera.json \
  ./usr/share/lintian/overrides/molvera; do
  grep -q " $f\$" "$work/contents.txt" || fail "no $f in the package"
done
if awk '{ print $2 }' "$work/contents.txt" | grep -v '^root/root$'; then fail "files not root's"; fi

dpkg-deb -x "$deb" "$work/root"
r=$work/root
# The copyright file in Debian's machine-readable format, GPL-3.0-or-later.
head -1 "$r/usr/share/doc/molvera/copyright" |
  grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' ||
  fail "copyright file not machine-readable"
grep -q '^License: GPL-3.0-or-later$' "$r/usr/share/doc/molvera/copyright" || fail "licence"
first=$(zcat "$r/usr/share/doc/molvera/changelog.Debian.gz" | sed -n 1p)
[[ $first == "molvera ($version) "* ]] || fail "changelog of another version: $first"
# The manual page says what --help says.
zcat "$r/usr/share/man/man1/molvera.1.gz" | sed 's/\\-/-/g' >"$work/molvera.1"
for opt in report init-db backup version UsuarioLogeado; do
  grep -q -- "$opt" "$work/molvera.1" || fail "manual page lacks $opt"
done
# The desktop entry starts the program without naming an operator.
grep -qx 'Exec=molvera' "$r/usr/share/applications/molvera.desktop" || fail "desktop Exec"
appstreamcli validate --no-net "$r/usr/share/metainfo/ar.com.molvera.molvera.metainfo.xml" ||
  fail "AppStream metadata invalid"
# The program: bound at once, fortified, without symbols nor .comment.
# (Read whole first: grep -q ending early would break the pipe under pipefail.)
bin=$r/usr/bin/molvera
dynamic=$(readelf -dW "$bin") segments=$(readelf -lW "$bin") sections=$(readelf -SW "$bin")
symbols=$(readelf -W --dyn-syms "$bin")
grep -Eq 'BIND_NOW|FLAGS_1.*NOW' <<<"$dynamic" || fail "not linked with -z now"
grep -q GNU_RELRO <<<"$segments" || fail "no RELRO"
grep -Eq ' __[a-z]+_chk@' <<<"$symbols" || fail "no fortified calls"
if grep -Eq ' \.(comment|symtab|note) ' <<<"$sections"; then fail "unneeded sections"; fi
env -u DISPLAY -u WAYLAND_DISPLAY "$bin" --version | grep -q "^molvera ${version%-*} " ||
  fail "the packaged program does not answer --version"
echo "package: $(basename "$deb") passes lintian; $(wc -l <"$work/contents.txt") entries"
