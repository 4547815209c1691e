#!/usr/bin/env bash
# Checks a built package as it will be installed: unpacks it into a
# temporary folder and runs vantrelis-batch from there: its help, which
# loads no Qt library, and a harvest of the demo directory, which it hands
# to the private program that can harvest, whose CSV must equal the
# expected one.
#   check-package.sh PACKAGE.deb EXPECTED.csv
set -euo pipefail
deb="$(realpath "$1")"
expected="$(realpath "$2")"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT

fail() { echo "check-package: $*" >&2; exit 1; }

dpkg-deb -x "$deb" "$root"
batch="$root/usr/bin/vantrelis-batch"
[ -x "$batch" ] || fail "no usr/bin/vantrelis-batch in $deb"
[ -x "$root/usr/bin/vantrelis" ] || fail "no usr/bin/vantrelis in $deb"
[ -x "$root/usr/libexec/vantrelis/vantrelis-batch-harvest" ] || fail "no usr/libexec/vantrelis/vantrelis-batch-harvest in $deb"

LD_DEBUG=libs "$batch" --help >"$root/help.txt" 2>"$root/loads.txt" || fail "vantrelis-batch --help failed"
grep -q -- "--harvest" "$root/help.txt" || fail "the help does not name --harvest"
! grep -q 'libQt6' "$root/loads.txt" || fail "vantrelis-batch --help loads Qt"

cd "$root"
export QT_QPA_PLATFORM=offscreen
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking --disable-component-update"
"$batch" --harvest demo --export-csv out.csv 2>harvest.log || { cat harvest.log; fail "the demo harvest failed"; }
cmp -s out.csv "$expected" || { diff <(iconv -f cp1252 -t utf-8 out.csv) <(iconv -f cp1252 -t utf-8 "$expected") || true
  fail "the harvested CSV differs from $expected"; }
echo "check-package: $(basename "$deb"): help (without Qt) and demo harvest from the unpacked package are as expected."
