#!/usr/bin/env bash
# The .deb package, made by cpack from this build, unpacked into a scratch
# root as dpkg would install it: it holds the programs, the plug-in and the
# stand-in host's library where stimloom-host finds them, and the documents;
# the installed stimloom says its version and exports the example log there,
# and the installed stimloom-host loads the installed plug-in.
#   deb_package.sh CPACK-CONFIG VERSION SOURCE-DIR
set -uo pipefail
config="$1"
version="$2"
source="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if ! cpack --config "$config" -G DEB -B "$work/package" > "$work/cpack.txt" 2>&1; then
  cat "$work/cpack.txt" >&2
  exit 1
fi
debs=("$work/package"/stimloom_"$version"_*.deb)
[ -f "${debs[0]}" ] || { echo "FAIL: cpack made no stimloom_${version}_*.deb: $(ls "$work/package")" >&2; exit 1; }
deb="${debs[0]}"
[ "$(dpkg-deb -f "$deb" Package Version)" = "Package: stimloom
Version: $version" ] || fail "the package's control names $(dpkg-deb -f "$deb" Package Version)"

root="$work/root"
dpkg-deb -x "$deb" "$root" || exit 1
for file in usr/bin/stimloom usr/bin/stimloom-host usr/lib/libstimloom.so usr/lib/MirovaneZR.exe \
            usr/share/doc/stimloom/README.md usr/share/doc/stimloom/docs/exporting.md; do
  [ -f "$root/$file" ] || fail "the package has no $file"
done

[ "$("$root/usr/bin/stimloom" --version)" = "stimloom $version" ] || fail "the installed stimloom --version says otherwise"

mkdir -p "$work/study"
cp "$source/examples/flanker_run1.log" "$work/study/"
(cd "$work/study" && "$root/usr/bin/stimloom" export --format fsl flanker_run1.log > export.txt 2> export.err) ||
  fail "the installed stimloom could not export: $(cat "$work/study/export.err")"
grep -q "^exported flanker_run1.log: 46 events in 8 of 8 conditions" "$work/study/export.txt" ||
  fail "the installed stimloom's export said: $(cat "$work/study/export.txt")"
[ -s "$work/study/flanker_run1_fixation.txt" ] || fail "the installed stimloom wrote no FSL file"

# The stand-in host finds the installed plug-in and its own library, not the build's.
info=$(cd "$work/study" && LD_DEBUG=libs "$root/usr/bin/stimloom-host" info 2> "$work/loader.txt") ||
  fail "the installed stimloom-host could not load the plug-in"
[ "$(printf '%s\n' "$info" | head -n 1)" = "stimloom (v$version)" ] || fail "stimloom-host info printed: $info"
grep -q "calling init: $root/usr/bin/../lib/MirovaneZR.exe" "$work/loader.txt" ||
  fail "stimloom-host did not load the installed MirovaneZR.exe"
grep -q "calling init: $root/usr/lib/libstimloom.so" "$work/loader.txt" ||
  fail "stimloom-host did not load the installed plug-in"

[ "$failures" -eq 0 ] || exit 1
echo "$(basename "$deb") installs and runs"
