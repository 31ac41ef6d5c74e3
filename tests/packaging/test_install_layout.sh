#!/usr/bin/env bash
# The installed tree: every program in bin with the private reader library found relative to it, the
# shipped languages, desktop files, icons, metadata, manual pages and Debian's documentation files, and
# an installed program keeping its data in the user's folder even where it may write to its own.
#   test_install_layout.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1
source=$2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! DESTDIR=$stage cmake --install "$build" --prefix /usr --component tarvo >"$stage.log" 2>&1; then
  cat "$stage.log"
  rm -f "$stage.log"
  echo "FAIL: cmake --install"
  exit 1
fi
rm -f "$stage.log"
usr=$stage/usr

for program in Tarvo ConfigTarvo tarvoctl orvsim; do
  [ -x "$usr/bin/$program" ] || fail "no program $usr/bin/$program"
  [ -f "$usr/share/man/man1/$program.1.gz" ] || fail "no manual page for $program"
  # The installed RUNPATH names no build folder: the package must not load a library from one.
  if readelf -d "$usr/bin/$program" 2>/dev/null | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
    fail "$program keeps the build folder in its RUNPATH"
  fi
done

libs=("$usr"/lib/*/tarvo/libOrvReader.so.3)
if [ ! -e "${libs[0]}" ]; then
  fail "no reader library in /usr/lib/<triplet>/tarvo"
else
  libdir=$(dirname "${libs[0]}")
  [ ! -e "$libdir/libOrvReader.so" ] || fail "the development link libOrvReader.so is installed"
  [ -z "$(ls "$usr"/lib/*/libOrvReader* 2>/dev/null)" ] || fail "the reader library is on the linker's path"
  for program in Tarvo ConfigTarvo; do
    resolved=$(ldd "$usr/bin/$program" | awk '$1 == "libOrvReader.so.3" { print $3 }')
    [ "$(readlink -f "$resolved")" = "$(readlink -f "$libdir/libOrvReader.so.3")" ] ||
      fail "$program loads the reader library from \"$resolved\", not from $libdir"
  done
fi

for file in "$source"/Languages/*.lng; do
  cmp -s "$file" "$usr/share/tarvo/Languages/$(basename "$file")" ||
    fail "language file $(basename "$file") not installed in /usr/share/tarvo/Languages"
done

for id in org.tarvo.Tarvo org.tarvo.ConfigTarvo; do
  [ -f "$usr/share/applications/$id.desktop" ] || fail "no desktop file $id.desktop"
  [ -f "$usr/share/metainfo/$id.metainfo.xml" ] || fail "no metainfo $id.metainfo.xml"
  grep -q "^Icon=$id$" "$usr/share/applications/$id.desktop" 2>/dev/null || fail "$id.desktop names another icon"
  [ -f "$usr/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon $id"
  for size in 16 22 24 32 48 64 128 256; do
    png=$usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    # The PNG's header holds its width and height (bytes 16..23).
    dims=$(od -An -tx1 -j16 -N8 "$png" 2>/dev/null | tr -d ' \n')
    [ "$dims" = "$(printf '%08x%08x' "$size" "$size")" ] || fail "icon $png is not ${size}x${size}"
  done
done
[ -f "$usr/share/doc/tarvo/copyright" ] || fail "no /usr/share/doc/tarvo/copyright"
gzip -t "$usr/share/doc/tarvo/changelog.Debian.gz" 2>/dev/null || fail "no readable changelog.Debian.gz"
# The packager's addresses are filled in wherever the package names them.
for file in "$usr/share/doc/tarvo/copyright" "$usr/share/doc/tarvo/changelog.Debian.gz" "$usr"/share/metainfo/*.xml; do
  left=$(zcat -f "$file" 2>/dev/null | grep -oE '@[A-Z_]+@' | sort -u | tr '\n' ' ')
  [ -z "$left" ] || fail "$(basename "$file") keeps the placeholders $left"
done
grep -q '^Upstream-Contact: .*<.*@.*>$' "$usr/share/doc/tarvo/copyright" 2>/dev/null ||
  fail "the copyright file names no Upstream-Contact address"
zcat "$usr/share/doc/tarvo/changelog.Debian.gz" 2>/dev/null | grep -qE '^ -- .+ <.+@.+>  ' ||
  fail "the changelog is signed by no maintainer address"

# The installed folder is writable here (a temporary root, maybe as root); the data still goes to
# $XDG_DATA_HOME/Tarvo.
printf '1;Day;08:00;1;1\n' >"$stage/zones.csv"
said=$(env -u TARVO_DATA_DIR HOME="$stage/home" XDG_DATA_HOME="$stage/home/data" \
  "$usr/bin/tarvoctl" zones import "$stage/zones.csv" 2>&1)
[ -f "$stage/home/data/Tarvo/Tarvo.xml" ] || fail "installed tarvoctl did not write \$XDG_DATA_HOME/Tarvo/Tarvo.xml: $said"
[ ! -e "$usr/bin/Tarvo.xml" ] || fail "installed tarvoctl wrote its data into /usr/bin"

if [ "$failures" -ne 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "installed layout: ok"
