#!/usr/bin/env bash
# Installs, from Debian's archive, what building and testing stimloom needs,
# and only what is missing. Usage: ensure-packages.sh [base] [windows] [fuzz] [checkers]
set -euo pipefail

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(base)

wanted=()
need_i386=0
for group in "${groups[@]}"; do
  case "$group" in
    # CLI11 and nlohmann/json are header-only; the console program and the
    # exporters compile them in, the plug-in never sees them.
    base) wanted+=(cmake ninja-build g++ binutils libgtest-dev libgmock-dev libbenchmark-dev clang-format
                   libcli11-dev nlohmann-json3-dev libeigen3-dev zlib1g-dev) ;;
    # Independent readers of what stimloom writes, for the tests only: scipy
    # reads MAT-files, librsvg renders SVG, pandas is the benchmark's yardstick.
    checkers) wanted+=(python3 python3-scipy python3-pandas librsvg2-bin python3-numpy python3-nibabel chromium) ;;
    # The tool chain file names the compiler with its thread model
    # (i686-w64-mingw32-g++-win32), so only that variant is needed and the
    # posix/win32 alternatives on the machine do not matter. wine32 runs the
    # 32-bit programs; it is an i386 package.
    windows) wanted+=(g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 libz-mingw-w64-dev wine wine32:i386); need_i386=1 ;;
    fuzz) wanted+=(clang libclang-rt-14-dev) ;;
    *) echo "ensure-packages: unknown group '$group'" >&2; exit 2 ;;
  esac
done

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for package in "${wanted[@]}"; do
  installed "$package" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "ensure-packages: these packages are missing and need root to install: ${missing[*]}" >&2
  exit 1
fi
echo "ensure-packages: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ "$need_i386" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q "${missing[@]}"
