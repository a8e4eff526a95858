#!/usr/bin/env bash
# Installs, from Debian's archive, what building and testing stimloom needs,
# and only what is missing.
#   Usage: ensure-packages.sh [base] [checkers] [cross] [wine] [windows] [fuzz]
# Each group is installed on its own, so a group the archive cannot supply
# does not keep the others out. The archive's index is often only partly
# reachable (an architecture's index being synchronised, say): `apt-get
# update` is tried 3 times, and a failure of it only matters if the packages
# then cannot be installed; a failed install is tried once more after another
# update. A group that still cannot be installed is named on standard error,
# with its packages and the archive's own error line, in one paragraph that
# starts "ensure-packages: could not install"; the exit status is then 1.
# STIMLOOM_APT_RETRY_SECONDS (default 5) is the pause between tries.
set -uo pipefail

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(base)

# The packages of a group, one word each.
packages_of() {
  case "$1" in
    # CLI11 and nlohmann/json are header-only; the console programs and the
    # exporters compile them in, the plug-in never sees them.
    base) echo cmake ninja-build g++ binutils libgtest-dev libgmock-dev libbenchmark-dev clang-format \
               libcli11-dev nlohmann-json3-dev libeigen3-dev zlib1g-dev ;;
    # Independent readers of what stimloom writes, for the tests only: scipy
    # reads MAT-files, librsvg renders SVG, pandas is the benchmark's yardstick.
    checkers) echo python3 python3-scipy python3-pandas librsvg2-bin python3-numpy python3-nibabel chromium ;;
    # The Windows build's cross-compiler: 64-bit packages. The tool chain file
    # names the compiler with its thread model (i686-w64-mingw32-g++-win32),
    # so only that variant is needed.
    cross) echo g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 libz-mingw-w64-dev ;;
    # wine runs the 32-bit Windows programs in the tests; wine32 is an i386
    # package, whose index the archive serves apart from the 64-bit one.
    wine) echo wine wine32:i386 ;;
    fuzz) echo clang libclang-rt-14-dev ;;
    *) return 1 ;;
  esac
}

expanded=()
for group in "${groups[@]}"; do
  if [ "$group" = windows ]; then
    expanded+=(cross wine)
  elif packages_of "$group" >/dev/null; then
    expanded+=("$group")
  else
    echo "ensure-packages: unknown group '$group'" >&2
    exit 2
  fi
done

pause="${STIMLOOM_APT_RETRY_SECONDS:-5}"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export DEBIAN_FRONTEND=noninteractive

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# The archive's own words from an apt-get transcript: its first error line,
# else its first warning.
archive_line() {
  local line
  line=$(grep -m1 '^E: ' "$1" || grep -m1 '^W: ' "$1" || true)
  [ -n "$line" ] || line=$(grep -v '^[[:space:]]*$' "$1" | tail -n 1)
  printf '%s' "$line"
}

# apt-get update, up to 3 tries. The last try's transcript is kept in
# $scratch/update.txt; its status is returned, and a failure is only said.
updated=0
update_index() {
  local try
  for try in 1 2 3; do
    if apt-get update -q >"$scratch/update.txt" 2>&1; then
      cat "$scratch/update.txt"
      updated=1
      return 0
    fi
    cat "$scratch/update.txt"
    echo "ensure-packages: apt-get update failed (try $try of 3): $(archive_line "$scratch/update.txt")"
    [ "$try" -eq 3 ] || sleep "$pause"
  done
  echo "ensure-packages: going on with the index as it is; the packages may still install"
  updated=1
  return 1
}

apt_install() {
  apt-get install -y -q "$@" >"$scratch/install.txt" 2>&1
  local status=$?
  cat "$scratch/install.txt"
  return $status
}

status=0
for group in "${expanded[@]}"; do
  missing=()
  for package in $(packages_of "$group"); do
    installed "$package" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && continue

  if [ "$(id -u)" -ne 0 ]; then
    echo "ensure-packages: could not install the $group packages ${missing[*]}: they are missing and need root to install." >&2
    status=1
    continue
  fi
  if [ "$group" = wine ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    updated=0  # the new architecture's index is not fetched yet
  fi
  echo "ensure-packages: installing the $group packages ${missing[*]}"
  [ "$updated" -eq 1 ] || update_index
  if apt_install "${missing[@]}"; then continue; fi
  echo "ensure-packages: the install failed: $(archive_line "$scratch/install.txt"); updating and trying once more"
  update_failed=0
  update_index || update_failed=1
  if apt_install "${missing[@]}"; then continue; fi

  paragraph="ensure-packages: could not install the $group packages ${missing[*]}. The archive said: \"$(archive_line "$scratch/install.txt")\""
  if [ "$update_failed" -eq 1 ]; then
    paragraph+=", and its index could not be updated either: \"$(archive_line "$scratch/update.txt")\""
  fi
  echo "$paragraph." >&2
  status=1
done
exit $status
