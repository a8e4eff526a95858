#!/usr/bin/env bash
# cmake/ensure-packages.sh against an archive that fails, with stand-ins for
# apt-get, dpkg-query, dpkg and id first on the PATH: no real package is
# looked up or installed. Each case says how the stand-in archive behaves and
# checks what the script did and said.
#   ensure_packages_test.sh SOURCE-DIR
set -uo pipefail
script="$1/cmake/ensure-packages.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin="$work/bin"
mkdir -p "$bin"

partial_lines='W: Failed to fetch http://deb.debian.org/debian/dists/bookworm/main/binary-i386/Packages.xz  File has unexpected size (98304 != 8642048). Mirror sync in progress? [IP: 151.101.2.132 80]
E: Some index files failed to download. They have been ignored, or old ones used instead.'
total_lines='Err:1 http://deb.debian.org/debian bookworm InRelease
  Temporary failure resolving '"'"'deb.debian.org'"'"'
E: Failed to fetch http://deb.debian.org/debian/dists/bookworm/InRelease  Temporary failure resolving '"'"'deb.debian.org'"'"''
held_line='E: Unable to correct problems, you have held broken packages.'

# The stand-in archive keeps its state in $STATE: update-outcomes (one of
# partial, total, ok a line, taken in order; ok once they run out),
# install-failures (how many installs fail before one succeeds), never (the
# packages that never install), installed, architectures and calls.
cat > "$bin/apt-get" <<EOF
#!/usr/bin/env bash
echo "apt-get \$*" >> "\$STATE/calls"
case "\$1" in
  update)
    outcome=\$(head -n 1 "\$STATE/update-outcomes" 2>/dev/null)
    sed -i 1d "\$STATE/update-outcomes" 2>/dev/null
    case "\$outcome" in
      partial) printf '%s\n' "Hit:1 http://deb.debian.org/debian bookworm InRelease" "$partial_lines"; exit 100 ;;
      total) printf '%s\n' "$total_lines"; exit 100 ;;
      *) echo "Reading package lists..."; exit 0 ;;
    esac ;;
  install)
    shift
    packages=()
    for word in "\$@"; do [[ "\$word" == -* ]] || packages+=("\$word"); done
    failures=\$(cat "\$STATE/install-failures" 2>/dev/null || echo 0)
    if [ "\$failures" -gt 0 ]; then
      echo \$((failures - 1)) > "\$STATE/install-failures"
      printf '%s\n' "Reading package lists..." "$held_line"
      exit 100
    fi
    for package in "\${packages[@]}"; do
      if grep -qx "\$package" "\$STATE/never" 2>/dev/null; then
        printf '%s\n' "Reading package lists..." "E: Package '\$package' has no installation candidate"
        exit 100
      fi
    done
    printf '%s\n' "\${packages[@]}" >> "\$STATE/installed"
    echo "Setting up \${packages[*]} ..." ;;
  *) exit 64 ;;
esac
EOF
cat > "$bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
package="${!#}"
grep -qx "$package" "$STATE/installed" 2>/dev/null || exit 1
printf 'install ok installed'
EOF
cat > "$bin/dpkg" <<'EOF'
#!/usr/bin/env bash
echo "dpkg $*" >> "$STATE/calls"
case "$1" in
  --print-foreign-architectures) cat "$STATE/architectures" 2>/dev/null ;;
  --add-architecture) echo "$2" >> "$STATE/architectures" ;;
  *) exit 64 ;;
esac
EOF
cat > "$bin/id" <<'EOF'
#!/usr/bin/env bash
echo "${STAND_IN_UID:-0}"
EOF
chmod +x "$bin"/*

failures=0
fail() {
  echo "FAIL ($case): $*" >&2
  echo "  calls: $(tr '\n' ';' < "$STATE/calls" 2>/dev/null)" >&2
  echo "  stdout: $(cat "$work/out")" >&2
  echo "  stderr: $(cat "$work/err")" >&2
  failures=$((failures + 1))
}
# run CASE GROUPS...: a fresh archive state, set up by the caller afterwards
# through the files of $STATE before `go` runs the script.
start() {
  case="$1"
  export STATE="$work/state-$case"
  mkdir -p "$STATE"
  : > "$STATE/calls"
}
go() {
  PATH="$bin:$PATH" STIMLOOM_APT_RETRY_SECONDS=0 bash "$script" "$@" > "$work/out" 2> "$work/err"
  status=$?
}
calls() { grep -c "^apt-get $1" "$STATE/calls"; }
expect_installed() {
  for package in "$@"; do
    grep -qx "$package" "$STATE/installed" 2>/dev/null || fail "$package was not installed"
  done
}

# Everything there already: the archive is never asked.
start present
printf '%s\n' g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 libz-mingw-w64-dev > "$STATE/installed"
go cross
[ "$status" -eq 0 ] || fail "exit status $status, not 0"
[ ! -s "$STATE/calls" ] || fail "the archive was asked although nothing was missing"

# A partial failure of the index, then a total one, then a partial one: the
# script goes on after three tries; the install fails once (held packages),
# and after another update, which works, it installs.
start retries
printf '%s\n' partial total partial > "$STATE/update-outcomes"
echo 1 > "$STATE/install-failures"
go cross
[ "$status" -eq 0 ] || fail "exit status $status, not 0"
[ "$(tr '\n' ';' < "$STATE/calls")" = "apt-get update -q;apt-get update -q;apt-get update -q;apt-get install -y -q g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 libz-mingw-w64-dev;apt-get update -q;apt-get install -y -q g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 libz-mingw-w64-dev;" ] ||
  fail "not three updates, an install, an update and an install"
expect_installed g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 libz-mingw-w64-dev
grep -qx "ensure-packages: apt-get update failed (try 1 of 3): E: Some index files failed to download. They have been ignored, or old ones used instead." "$work/out" ||
  fail "the partial failure of the first update was not said with the archive's line"
grep -q "^ensure-packages: apt-get update failed (try 2 of 3): E: Failed to fetch http://deb.debian.org/debian/dists/bookworm/InRelease  Temporary failure resolving 'deb.debian.org'$" "$work/out" ||
  fail "the total failure of the second update was not said with the archive's line"
grep -qx "ensure-packages: the install failed: $held_line; updating and trying once more" "$work/out" ||
  fail "the failed install was not said"
[ ! -s "$work/err" ] || fail "a group that installed in the end was reported as failed"

# The 32-bit index stays broken: the cross-compiler installs, wine never
# does. The i386 architecture is added first; one paragraph names wine's
# packages and the archive's line, and the status is 1.
start wine
printf '%s\n' partial partial partial partial partial partial partial partial partial > "$STATE/update-outcomes"
echo "wine32:i386" > "$STATE/never"
go windows
[ "$status" -eq 1 ] || fail "exit status $status, not 1"
expect_installed g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 libz-mingw-w64-dev
grep -qx "dpkg --add-architecture i386" "$STATE/calls" || fail "the i386 architecture was not added"
[ "$(calls install)" -eq 3 ] || fail "not one install of the cross-compiler and two of wine"
expected="ensure-packages: could not install the wine packages wine wine32:i386. The archive said: \"E: Package 'wine32:i386' has no installation candidate\", and its index could not be updated either: \"E: Some index files failed to download. They have been ignored, or old ones used instead.\"."
[ "$(cat "$work/err")" = "$expected" ] || fail "the report is not the one paragraph expected:
$expected"
grep -qx wine "$STATE/installed" && fail "wine was installed from a failed install"

# Without root nothing is tried; the missing packages are named.
start user
STAND_IN_UID=1000 go wine
[ "$status" -eq 1 ] || fail "exit status $status, not 1"
[ ! -s "$STATE/calls" ] || fail "the archive was asked without root"
[ "$(cat "$work/err")" = "ensure-packages: could not install the wine packages wine wine32:i386: they are missing and need root to install." ] ||
  fail "the report without root is not the one expected"

[ "$failures" -eq 0 ] || exit 1
echo "ensure-packages: every case behaved"
