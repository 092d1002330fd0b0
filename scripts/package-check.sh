#!/usr/bin/env bash
# Checks the Debian package `make package` wrote: lintian finds no error, it
# holds exactly the files a user should get, its dependencies name the
# libraries the programs load, and what it carries works once unpacked.
#   scripts/package-check.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

version=$(sed -n 's/^project(tavro-conversor VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
deb=$build/tavro-conversor_${version}_amd64.deb
[[ -f $deb ]] || { echo "package-check: $deb is missing (make package)" >&2; exit 1; }

failures=0
fail() { echo "package-check: $*" >&2; failures=$((failures + 1)); }

echo "--- lintian"
# Errors fail the check; warnings and notes are shown. (lintian frowns on
# running as root, which CI does.)
status=0
report=$(lintian --fail-on error --display-info "$deb" 2>&1) || status=$?
grep -v 'running with root privileges' <<<"$report" || true
((status == 0)) || fail "lintian reports errors"

echo "--- control"
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == tavro-conversor ]] || fail "Package is $(field Package)"
[[ $(field Version) == "$version" ]] || fail "Version is $(field Version), not $version"
[[ $(field Architecture) == amd64 ]] || fail "Architecture is $(field Architecture)"
depends=$(field Depends)
echo "Depends: $depends"
# The package names alone, one a line, without their versions.
names=$(tr ',' '\n' <<<"$depends" | sed -E 's/^ *([^ ]+).*$/\1/')
for library in libqt6widgets6 libqt6gui6 libqt6core6 libspng0 libstdc++6 libc6 qt6-qpa-plugins; do
  grep -q -x -F -- "$library" <<<"$names" || fail "Depends lacks $library"
done

echo "--- contents"
expected=(
  usr/bin/tavro
  usr/bin/tavro-conversor
  usr/share/applications/tavro-conversor.desktop
  usr/share/metainfo/tavro-conversor.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/tavro-conversor.svg
  usr/share/man/man1/tavro.1.gz
  usr/share/man/man1/tavro-conversor.1.gz
  usr/share/doc/tavro-conversor/copyright
  usr/share/doc/tavro-conversor/changelog.gz
)
for size in 16 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/tavro-conversor.png")
done
# Regular files only, without the leading "./"; anything beyond the list (a
# test program, a header) is as wrong as anything missing from it.
actual=$(dpkg-deb -c "$deb" | awk '$1 ~ /^-/ { sub(/^\.\//, "", $6); print $6 }' | sort)
unexpected=$(comm -13 <(printf '%s\n' "${expected[@]}" | sort) <(echo "$actual"))
missing=$(comm -23 <(printf '%s\n' "${expected[@]}" | sort) <(echo "$actual"))
[[ -z $missing ]] || fail "missing from the package: $(echo $missing)"
[[ -z $unexpected ]] || fail "not expected in the package: $(echo $unexpected)"
echo "$(echo "$actual" | wc -l) files"

echo "--- unpacked"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for program in tavro tavro-conversor; do
  binary=$root/usr/bin/$program
  printed=$("$binary" --version) || fail "$program --version failed"
  [[ $printed == "$version" ]] || fail "$program --version prints '$printed', not $version"
  flags=$(readelf -d "$binary")
  [[ $flags == *BIND_NOW* && $flags == *PIE* ]] || fail "$program is not a PIE bound at start-up"
  readelf -lW "$binary" | grep -q GNU_RELRO || fail "$program has no RELRO segment"
  page=$root/usr/share/man/man1/$program.1.gz
  [[ -f $page ]] || continue
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "man warns about $program.1: $warnings"
  # The page carries the program's own words: every option --help lists.
  text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null || true)
  for option in $("$binary" --help | grep -o -E -- '--[a-z][a-z-]+' | sort -u); do
    [[ $text == *"$option"* ]] || fail "$program.1 does not mention $option"
  done
done
text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$root/usr/share/man/man1/tavro.1.gz" 2>/dev/null || true)
for command in convert render; do
  for option in $("$root/usr/bin/tavro" "$command" --help | grep -o -E -- '--[a-z][a-z-]+' | sort -u); do
    [[ $text == *"$option"* ]] || fail "tavro.1 does not mention tavro $command $option"
  done
done
desktop-file-validate "$root/usr/share/applications/tavro-conversor.desktop" \
  || fail "the menu entry does not validate"
# No overrides. The one note left is an information: cid-maybe-not-rdns, as
# the validator knows no "invalid" top-level domain, which the id's (the
# maintainer's address's) is. No warning or error may appear.
metainfo=$(appstreamcli validate --no-net "$root/usr/share/metainfo/tavro-conversor.metainfo.xml" 2>&1) \
  || fail "the AppStream metainfo does not validate: $metainfo"
notes=$(grep -E '^[WE]: ' <<<"$metainfo" || true)
[[ -z $notes ]] || fail "the AppStream metainfo has warnings: $notes"
echo

if ((failures > 0)); then
  echo "package-check: $failures problem(s) in $deb" >&2
  exit 1
fi
echo "package-check: $deb is sound"
