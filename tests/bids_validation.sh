#!/usr/bin/env bash
# A minimal BIDS dataset around runs exported by stimloom-host, checked by the
# BIDS validator: a real log, a saved protocol, a log with dummy volumes and
# events before the first stored volume, a log whose event table is empty,
# and a log with event properties, outcomes and paired responses. Any error
# the validator reports fails the test, and so does a warning about a column
# the sidecar does not describe.
#   bids_validation.sh STIMLOOM-HOST SOURCE-DIR
set -euo pipefail
host="$1"
source="$2"
validator=$(bash "$source/cmake/ensure-node-tools.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dataset="$work/dataset"
mkdir -p "$dataset"
printf '{"Name": "stimloom export check", "BIDSVersion": "1.8.0"}\n' > "$dataset/dataset_description.json"
printf 'Events exported by stimloom.\n' > "$dataset/README"

# A log without a Subject column, 6 pulses at a TR of 2 s from 10 s on, a
# picture before the third pulse and responses.
{
  printf 'Scenario - check\nLogfile written - 01/02/2026 09:00:00\n\n'
  printf 'Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\n\n'
  for volume in 0 1 2 3 4 5; do printf '%d\tPulse\t99\t%d\t0\t1\n' "$((volume + 1))" "$((100000 + 20000 * volume))"; done
  printf '7\tPicture\tcue left\t125000\t0\t1\t5000\n8\tResponse\t1\t131234.5\t0\t1\n9\tPicture\tcue right\t150000\t0\t1\t5000\n'
  printf '\n\n'
} > "$work/dummies.log"
{
  printf 'Scenario - check\nLogfile written - 01/02/2026 09:00:00\n\n'
  printf 'Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\n\n1\tPulse\t99\t100000\t0\t1\n\n\n'
} > "$work/empty.log"
{
  printf 'Scenario - heat\nLogfile written - 01/02/2026 09:00:00\n\n'
  printf 'Subject\tTrial\tEvent Type\tCode\tEvent(str)\tTemperature(num)\tTime\tTTime\tUncertainty\tDuration\t'
  printf 'Uncertainty\tReqTime\tReqDur\tStim Type\tPair Index\n\n'
  printf 's1\t1\tPulse\t99\t\t\t100000\t0\t1\n'
  printf 's1\t1\tPicture\twarm\tcaf\xe9\t46.5\t110000\t0\t1\t20000\t1\t0\t20000\thit\t3\n'
  printf 's1\t1\tResponse\t1\t\t\t114521\t4521\t1\n'
  printf 's1\t2\tPicture\thot\t\t48\t130000\t0\t1\t20000\t1\t0\t20000\tmiss\t0\n'
  printf 's1\t2\tSave Logfile\tsaved\tpain\t47\t150000\t0\t1\n'
  printf '\n\n'
} > "$work/heat.log"
cp "$source/examples/flanker_run1.log" "$work/flanker_run1.log"
"$host" convert "$work/flanker_run1.log" --log-pane /dev/null > /dev/null

run=0
export_run() {
  run=$((run + 1))
  "$host" export --bids-root "$dataset" --subject 01 --task flanker --run "$run" "$@" > /dev/null
  local func="$dataset/sub-01/func" name="sub-01_task-flanker_run-${run}"
  printf 'stimloom' | gzip > "$func/${name}_bold.nii.gz"
  printf '{"TaskName": "flanker", "RepetitionTime": 2.0}\n' > "$func/${name}_bold.json"
}
export_run "$work/flanker_run1.log"
export_run "$work/flanker_run1.prt"
export_run --dummy-volumes 2 "$work/dummies.log"
export_run "$work/empty.log"
export_run --event-types "Picture,Response,Save Logfile" "$work/heat.log"

"$validator" "$dataset" --ignoreNiftiHeaders --json 2> /dev/null > "$work/report.json" || true
/usr/bin/python3 - "$work/report.json" "$dataset" <<'PY'
import json, sys, pathlib
report = json.load(open(sys.argv[1]))
errors = report["issues"]["errors"]
for error in errors:
    files = [f["file"]["relativePath"] for f in error.get("files", []) if f.get("file")]
    print("validator error:", error["key"], error.get("reason", ""), files[:5])
events = sorted(pathlib.Path(sys.argv[2]).glob("sub-01/func/*_events.tsv"))
if len(events) != 5:
    print("expected 5 events files, found", len(events))
    sys.exit(1)
undescribed = [w for w in report["issues"]["warnings"] if "COLUMN" in w["key"] and "DESCRIPTION" in w["key"]]
for warning in undescribed:
    print("validator warning:", warning["key"], warning.get("reason", ""))
if "response_time" not in events[-1].read_text().split("\n")[0].split("\t"):
    print("the run with outcomes has no response_time column")
    sys.exit(1)
sys.exit(1 if errors or undescribed else 0)
PY
echo "the BIDS validator found no error in $run exported runs"
