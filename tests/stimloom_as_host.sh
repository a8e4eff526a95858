#!/usr/bin/env bash
# stimloom and stimloom-host, each in a folder of its own, given the same
# export and plot commands on copies of the same inputs: the example log, a
# study of two runs, a saved protocol, and a study with a missing run. Every
# file written must be the same bytes, standard output the same text, the
# exit status the same, and standard error the same once stimloom-host's name
# is read as stimloom: each program names itself.
#   stimloom_as_host.sh STIMLOOM STIMLOOM-HOST SOURCE-DIR
set -uo pipefail
stimloom=$(realpath "$1")
host=$(realpath "$2")
source=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
case=setup
fail() {
  echo "FAIL ($case): $*" >&2
  failures=$((failures + 1))
}

for program in stimloom host; do
  mkdir -p "$work/$program"
  cp "$source/examples/flanker_run1.log" "$source/tests/data/flanker_run2.log" "$work/$program/"
done
# A saved protocol, made by the stand-in host's conversion, in both folders.
(cd "$work/host" && "$host" convert --log-pane /dev/null flanker_run2.log > /dev/null) || fail "no protocol to read"
cp "$work/host/flanker_run2.prt" "$work/stimloom/"

# compare CASE STATUS ARGUMENTS...: both programs run ARGUMENTS in their
# folders, and must exit with STATUS.
compare() {
  case="$1"
  local status="$2"
  shift 2
  (cd "$work/stimloom" && "$stimloom" "$@" > "../$case.stimloom.out" 2> "../$case.stimloom.err")
  local stimloom_status=$?
  (cd "$work/host" && "$host" "$@" > "../$case.host.out" 2> "../$case.host.err")
  local host_status=$?
  [ "$stimloom_status" -eq "$host_status" ] || fail "stimloom exited with $stimloom_status, stimloom-host with $host_status"
  cmp -s "$work/$case.stimloom.out" "$work/$case.host.out" ||
    fail "standard output differs: $(diff "$work/$case.host.out" "$work/$case.stimloom.out")"
  sed 's/stimloom-host/stimloom/g' "$work/$case.host.err" > "$work/$case.host-named.err"
  cmp -s "$work/$case.stimloom.err" "$work/$case.host-named.err" ||
    fail "standard error differs: $(diff "$work/$case.host-named.err" "$work/$case.stimloom.err")"
  if grep -q "stimloom-host" "$work/$case.stimloom.err"; then fail "stimloom named stimloom-host"; fi
  [ "$stimloom_status" -eq "$status" ] || fail "exit status $stimloom_status, not $status"
}

compare bids-one 0 export --dummy-volumes 1 --out bids-one flanker_run1.log
compare bids-root 0 export --bids-root dataset --subject 01 --task flanker --run 2 flanker_run2.log
for format in bids fsl afni spm; do
  compare "$format" 0 export --format "$format" --out "$format" flanker_run1.log flanker_run2.log
done
compare plot 0 plot --out picture flanker_run1.log flanker_run2.log
compare protocol 0 export --format spm --out protocol flanker_run2.prt
compare missing-run 1 export --format fsl --out missing flanker_run1.log run3.log
compare missing-afni 1 export --format afni --out missing-afni flanker_run1.log run3.log
compare bad-option 2 export --format xls flanker_run1.log
case=missing-run
grep -qx "stimloom: not exported: run3.log: No such file or directory" "$work/missing-run.stimloom.err" ||
  fail "stimloom did not name the run it could not read: $(cat "$work/missing-run.stimloom.err")"

case=files
# The outputs were written, and the same.
for folder in bids-one dataset bids fsl afni spm picture protocol missing; do
  [ -n "$(ls -A "$work/stimloom/$folder" 2>/dev/null)" ] || fail "stimloom wrote nothing into $folder"
done
diff -r "$work/stimloom" "$work/host" > "$work/difference" || fail "the files differ: $(cat "$work/difference")"

[ "$failures" -eq 0 ] || exit 1
echo "stimloom wrote what stimloom-host wrote"
