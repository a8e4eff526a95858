#!/usr/bin/python3
"""stimloom-host check run on synthetic studies, as a user runs it.

  check_study_test.py findings|figures|images|report PROGRAM

  findings  every event, scan and design finding, the exit status, and that
            check writes nothing but its report
  figures   correlation, VIF, efficiency and rank against numpy
            (tests/design_reference.py), to a relative 1e-6
  images    BOLD images written by nibabel (.nii, .nii.gz, NIfTI-2, big-endian)
            against the pulses, and images that are refused
  report    the HTML page parsed, referencing nothing outside it, and rendered
            by headless Chromium, whose text must hold every finding

Exits 77 (a skip for CTest) when numpy, nibabel or chromium is missing.
"""

import html.parser
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))
failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)


def log_text(events):
    """A log without a Subject column. events: ("Pulse"|"Picture", code, seconds[, duration seconds])."""
    lines = ["Scenario - check", "Logfile written - 01/02/2026 09:00:00", "",
             "Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration", ""]
    for trial, event in enumerate(sorted(events, key=lambda e: e[2]), 1):
        kind, code, seconds = event[:3]
        line = "%d\t%s\t%s\t%d\t0\t1" % (trial, kind, code, round(seconds * 10000))
        if len(event) > 3:
            line += "\t%d" % round(event[3] * 10000)
        lines.append(line)
    return "\n".join(lines) + "\n"


def scored_log_text(trials, tr=2.0, volumes=20, first=10.0):
    """A log whose stimuli Presentation scored: trials are (code, seconds, outcome, response seconds or None).
    Each stimulus's Pair Index is the row, within the event table, of its Response; pulse rows count."""
    rows = [(first + k * tr, "Pulse", "99", "", None) for k in range(volumes)]
    for code, seconds, outcome, response in trials:
        rows.append((seconds, "Picture", code, outcome, response))
        if response is not None:
            rows.append((response, "Response", "1", "", None))
    rows.sort(key=lambda row: (row[0], row[1] == "Picture"))
    row_of = {(row[1], row[0]): index for index, row in enumerate(rows, 1)}
    lines = ["Scenario - scored", "Logfile written - 01/02/2026 09:00:00", "",
             "Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\tUncertainty\tReqTime\tReqDur\t"
             "Stim Type\tPair Index", ""]
    for trial, (seconds, kind, code, outcome, response) in enumerate(rows, 1):
        pair = row_of[("Response", response)] if response is not None else 0
        scored = "%s\t%d" % (outcome, pair) if kind == "Picture" else ""
        lines.append("%d\t%s\t%s\t%d\t0\t1\t5000\t1\t0\t5000\t%s" % (trial, kind, code, round(seconds * 10000),
                                                                       scored))
    return "\n".join(lines) + "\n"


def pulses(count, tr, first=10.0):
    return [("Pulse", "99", first + k * tr) for k in range(count)]


class Study:
    def __init__(self, program, folder):
        self.program = program
        self.folder = folder

    def write(self, name, events):
        path = os.path.join(self.folder, name)
        with open(path, "w", encoding="utf-8") as out:
            out.write(log_text(events))
        return path

    def check(self, *arguments):
        run = subprocess.run([self.program, "check", "--duration-rule", "2", *arguments], cwd=self.folder,
                             capture_output=True, text=True)
        return run.returncode, run.stdout.splitlines(), run.stderr


def has(lines, pattern):
    return any(re.search(pattern, line) for line in lines)


# ---- findings -----------------------------------------------------------------

def findings(program, folder):
    study = Study(program, folder)
    # 20 volumes of 2 s from 10 s: time zero at 10 s, the scan ends at 40 s.
    run1 = study.write("run1.log", pulses(20, 2.0) + [
        ("Picture", "cue", 8.5, 1.0),                                            # before zero
        ("Picture", "face", 12.0, 1.0), ("Picture", "face", 12.0, 1.0),          # an exact duplicate
        ("Picture", "face", 20.0, 1.0),
        ("Picture", "house", 14.3, 3.0), ("Picture", "house", 16.0, 1.0),        # an overlap
        ("Picture", "house", 24.7, 1.0),
        ("Picture", "cue", 16.5, 0.5), ("Picture", "cue", 22.5, 0.5), ("Picture", "cue", 30.5, 0.5),  # locked
        ("Picture", "face", 55.0, 1.0),                                          # after the scan
    ])
    run2 = study.write("run2.log", pulses(20, 2.0) + [
        ("Picture", "face", 13.1, 1.0), ("Picture", "cue", 18.5, 0.5), ("Picture", "face", 27.7, 1.0),
    ])
    before = sorted(os.listdir(folder))
    status, lines, err = study.check("run1.log", "run2.log")
    expect(status == 1, "an exact duplicate makes check exit 1, not %d (%s)" % (status, err))
    expect(sorted(os.listdir(folder)) == before, "check without --report writes no file")
    for line in lines:
        expect(re.match(r"^run[12]\.log: (error|warning|note): ", line), "a finding names its run: " + line)
    levels = [line.split(": ")[1] for line in lines]
    expect(levels == sorted(levels, key=["error", "warning", "note"].index), "errors come first: %s" % levels)
    expected = [
        r'^run1\.log: error: "face": 1 exact duplicate .* the first at 2 s \(line \d+\)$',
        r'^run1\.log: warning: "house": 1 event begins before an earlier event of the condition ends, the first '
        r'at 6 s',
        r'^run1\.log: warning: 1 event begins before time 0.*: "cue" 1$',
        r'^run1\.log: warning: 1 event begins at or after the end of the last volume, 40 s: "face" 1$',
        r'^run2\.log: note: "house" has no event in this run; it is missing from run2\.log \(1 of 2 runs\)$',
        r'^run1\.log: note: "cue" is locked to the TR: its 5 onsets in run1\.log, run2\.log all come 25% of a TR',
    ]
    for pattern in expected:
        expect(has(lines, pattern), "a finding matches %s in:\n  %s" % (pattern, "\n  ".join(lines)))
    expect(not has(lines, r'"face" is locked|"house" is locked'), "onsets at several phases are not locked")

    # The same runs without the duplicate: warnings and notes only, exit 0.
    clean = log_text(pulses(20, 2.0) + [("Picture", "face", 12.0, 1.0), ("Picture", "face", 20.0, 1.0),
                                        ("Picture", "house", 14.3, 3.0), ("Picture", "house", 16.0, 1.0)])
    with open(run1, "w", encoding="utf-8") as out:
        out.write(clean)
    status, lines, err = study.check("run1.log", "run2.log")
    expect(status == 0, "warnings and notes leave the exit status 0, not %d: %s" % (status, lines))
    expect(has(lines, r"^run1\.log: warning: .*\"house\""), "the overlap is still a warning")

    # Scored trials: "target" got 1 of its 4 expected responses, "probe" both of its 2.
    with open(os.path.join(folder, "scored.log"), "w", encoding="utf-8") as out:
        out.write(scored_log_text([("target", 12.0, "hit", 12.5), ("target", 16.0, "miss", None),
                                   ("target", 20.0, "miss", None), ("target", 24.0, "miss", None),
                                   ("probe", 14.0, "hit", 14.8), ("probe", 18.0, "hit", 18.6),
                                   ("filler", 26.0, "other", None),
                                   # scored as hits, their responses not paired
                                   ("cue", 27.0, "hit", None), ("cue", 31.0, "hit", None)]))
    status, lines, err = study.check("--report", "scored.html", "scored.log")
    expect(has(lines, r'^scored\.log: warning: "target": 1 of 4 expected responses came \(25%\), fewer than half$'),
           "too few responses are a warning: %s %s" % (lines, err))
    expect(not has(lines, r'"(probe|filler|cue)": .* expected responses'),
           "conditions that got their responses, or expected none, are not named: %s" % lines)
    with open(os.path.join(folder, "scored.html"), encoding="utf-8") as page:
        rows = re.findall(r"<tr><td>([^<]*)</td><td>([^<]*)</td><td>(\d+)</td><td>(\d+)</td><td>([^<]*)</td>"
                          r"<td>([^<]*)</td>", page.read())
    table = {(row[0], row[1]): row[2:] for row in rows}
    # probe's response times 0.8 s and 0.6 s: median 0.7 s.
    expect(table.get(("probe", "hit")) == ("2", "2", "100.0%", "0.7000"), "probe's hits: %s" % table)
    expect(table.get(("target", "miss")) == ("3", "0", "0.0%", "–"), "target's misses: %s" % table)
    expect(table.get(("target", "hit")) == ("1", "1", "100.0%", "0.5000"), "target's hit: %s" % table)
    expect(table.get(("cue", "hit")) == ("2", "2", "100.0%", "–"), "hits without a paired response: %s" % table)

    # No pulse and no TR: the design is not modelled, which is said.
    study.write("nopulse.log", [("Picture", "face", 1.0, 1.0), ("Picture", "face", 5.0, 1.0)])
    status, lines, _ = study.check("nopulse.log")
    expect(has(lines, r"^nopulse\.log: warning: no scanner pulse"), "a log without pulses is said: %s" % lines)
    expect(has(lines, r"^nopulse\.log: note: the design is not modelled: no TR"), "no TR, no design: %s" % lines)
    expect(status == 0, "a log without pulses is no error")

    # A file that is no run is an error of its own, the other runs still checked.
    status, lines, _ = study.check("missing.log", "run1.log")
    expect(status == 1 and has(lines, r"^missing\.log: error: .*No such file") and has(lines, r"^run1\.log: warn"),
           "an input that cannot be read is an error: %s" % lines)

    # Command-line mistakes exit 2 before anything is read.
    status, _, err = study.check("--bold", "a.nii", "run1.log", "run2.log")
    expect(status == 2 and "one --bold image per input" in err, "one --bold per input: %s" % err)
    status, _, err = study.check("--tr", "0", "run1.log")
    expect(status == 2 and "--tr" in err, "--tr 0 is refused: %s" % err)


# ---- figures ------------------------------------------------------------------

class Tables(html.parser.HTMLParser):
    """The figures tables and heat maps of a report, per run section."""

    def __init__(self):
        super().__init__()
        self.runs = {}
        self.run = None
        self.rank = {}
        self.row = None

    def handle_starttag(self, tag, attributes):
        a = dict(attributes)
        if tag == "section" and "data-run" in a:
            self.run = a["data-run"]
            self.runs[self.run] = {"vif": {}, "efficiency": {}, "correlation": [], "shown": []}
        elif tag == "tr" and "data-condition" in a:
            self.row = a["data-condition"]
        elif tag == "td" and "data-vif" in a:
            self.runs[self.run]["vif"][self.row] = float(a["data-vif"])
        elif tag == "td" and "data-efficiency" in a:
            self.runs[self.run]["efficiency"][self.row] = float(a["data-efficiency"])
        elif tag == "td" and "data-value" in a:
            self.runs[self.run]["correlation"].append(float(a["data-value"]))
            self.shown = True

    def handle_data(self, data):
        if getattr(self, "shown", False):
            self.runs[self.run]["shown"].append(data)
            self.shown = False


def close(a, b):
    if math.isinf(a) or math.isinf(b):
        return a == b
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return abs(a - b) <= 1e-6 * max(abs(a), abs(b)) + 1e-12


def figures(program, folder):
    try:
        import numpy  # noqa: F401
        sys.path.insert(0, HERE)
        import design_reference
    except ImportError:
        print("python3-numpy is missing: bash cmake/ensure-packages.sh checkers installs it")
        return SKIP
    study = Study(program, folder)
    tr, scans, first = 1.5, 160, 10.0
    # Deterministic jittered onsets, some before zero and past the scan's end.
    state = [7]

    def jitter(limit):
        state[0] = (state[0] * 1103515245 + 12345) % 2 ** 31
        return (state[0] % 10000) / 10000 * limit

    runs = {
        # three conditions, one crossing time zero and one running past the end
        "ordinary.log": [("a", 4 * k + jitter(2.5), 0.3 + jitter(1)) for k in range(1, 58)] +
                        [("b", 5 * k + 1.3 + jitter(3), 2.25) for k in range(45)] +
                        [("c", -1.2, 3.0), ("c", 60.1, 0.0), ("c", 120.77, 5.5), ("c", 239.0, 4.0)],
        # b follows a by 0.3 s: highly correlated, above the VIF limit
        "correlated.log": [("a", 12 * k + 3, 4.0) for k in range(19)] + [("b", 12 * k + 3.3, 4.0) for k in range(19)]
                          + [("c", 12 * k + 9.1, 1.0) for k in range(19)],
        # b at a's times: perfectly collinear
        "collinear.log": [("a", 9 * k + 2.2, 1.0) for k in range(26)] + [("b", 9 * k + 2.2, 1.0) for k in range(26)]
                         + [("c", 9 * k + 6.0, 0.5) for k in range(26)],
    }
    for name, events in runs.items():
        study.write(name, pulses(scans + 2, tr, first) + [("Picture", code, first + 2 * tr + onset, duration)
                                                          for code, onset, duration in events])
    status, lines, err = study.check("--dummy-volumes", "2", "--high-pass", "100", "--report", "report.html",
                                     *runs)
    expect(status == 1, "the collinear run makes check exit 1: %s %s" % (lines, err))
    parser = Tables()
    with open(os.path.join(folder, "report.html"), encoding="utf-8") as page:
        parser.feed(page.read())
    for name, events in runs.items():
        names, x = design_reference.design(events, tr, scans, 100)
        expected = design_reference.figures(names, x)
        found = parser.runs.get(name)
        if found is None:
            failures.append("the report has no section for " + name)
            continue
        expect(list(found["vif"]) == names, "%s: the conditions %s, numpy %s" % (name, list(found["vif"]), names))
        for c, condition in enumerate(names):
            vif, efficiency = found["vif"].get(condition, math.nan), found["efficiency"].get(condition, math.nan)
            expect(close(vif, expected["vif"][c]), "%s %s: VIF %r, numpy %r" % (name, condition, vif,
                                                                                  expected["vif"][c]))
            expect(close(efficiency, expected["efficiency"][c]),
                   "%s %s: efficiency %r, numpy %r" % (name, condition, efficiency, expected["efficiency"][c]))
        flat = [value for row in expected["correlation"] for value in row]
        expect(len(found["correlation"]) == len(flat), "%s: %d correlations" % (name, len(found["correlation"])))
        for got, want, shown in zip(found["correlation"], flat, found["shown"]):
            expect(close(got, want), "%s: correlation %r, numpy %r" % (name, got, want))
            expect(shown == "%.2f" % want or (shown == "0.00" and abs(want) < 0.005),
                   "%s: the heat map shows %s for %r" % (name, shown, want))
        rank_line = has(lines, r"^%s: error: the design is rank deficient: rank %d of %d columns" %
                        (re.escape(name), expected["rank"], x.shape[1]))
        expect(rank_line == (expected["rank"] < x.shape[1]), "%s: rank %d of %d, found: %s" %
               (name, expected["rank"], x.shape[1], lines))
    correlated = design_reference.figures(*design_reference.design(runs["correlated.log"], tr, scans, 100))
    for c, condition in enumerate("ab"):
        expect(correlated["vif"][c] > 5, "the correlated conditions have a VIF above 5")
        expect(has(lines, r'^correlated\.log: warning: "%s": VIF %s is above the limit of 5' %
                   (condition, re.escape(found_text(correlated["vif"][c])))),
               "the VIF warning of %s, with 7 significant digits: %s" % (condition, lines))
    expect(has(lines, r'^collinear\.log: error: .*aliased: "a" \(VIF inf, efficiency 0\), "b" \(VIF inf'),
           "the collinear conditions are aliased: %s" % lines)
    return None


def found_text(value):
    return "%#.7g" % value


# ---- images -------------------------------------------------------------------

def images(program, folder):
    try:
        import nibabel
        import numpy
    except ImportError:
        print("python3-nibabel is missing: bash cmake/ensure-packages.sh checkers installs it")
        return SKIP
    study = Study(program, folder)
    study.write("run1.log", pulses(12, 2.0) + [("Picture", "face", 12.0 + 4 * k, 1.0) for k in range(5)])
    study.write("run2.log", pulses(12, 2.0) + [("Picture", "face", 13.0 + 4 * k, 1.0) for k in range(5)])
    study.write("nopulse.log", [("Picture", "face", 3.0 + 4 * k, 1.0) for k in range(6)])

    def image(name, volumes, tr, unit="sec", kind=nibabel.Nifti1Image, order="<", dims=4):
        shape = (2, 2, 2, volumes)[:dims]
        data = numpy.zeros(shape, dtype=numpy.dtype(order + "i2"))
        header = (nibabel.Nifti1Header if kind is nibabel.Nifti1Image else nibabel.Nifti2Header)(endianness=order)
        made = kind(data, numpy.eye(4), header=header)
        made.header.set_xyzt_units("mm", unit)
        if dims == 4:
            zooms = list(made.header.get_zooms())
            zooms[3] = tr
            made.header.set_zooms(zooms)
        nibabel.save(made, os.path.join(folder, name))
        return name

    good = [image("good.nii", 12, 2.0), image("good.nii.gz", 12, 2000, unit="msec"),
            image("good2.nii", 12, 2.0, kind=nibabel.Nifti2Image),
            image("good2.nii.gz", 12, 2.0, kind=nibabel.Nifti2Image)]
    for name in good:
        status, lines, err = study.check("--bold", name, "--bold", name, "run1.log", "run2.log")
        expect(status == 0 and not has(lines, "error"), "%s matches the pulses: %s %s" % (name, lines, err))
    image("big.nii", 12, 2.0, order=">")
    with open(os.path.join(folder, "big.nii"), "rb") as data:
        expect(data.read(4) == b"\x00\x00\x01\x5c", "nibabel wrote big.nii big-endian")
    status, lines, _ = study.check("--bold", "big.nii", "run1.log")
    expect(status == 0, "a big-endian header is read: %s" % lines)

    image("short.nii.gz", 11, 2.0)
    status, lines, _ = study.check("--bold", "good.nii", "--bold", "short.nii.gz", "run1.log", "run2.log")
    expect(status == 1 and has(lines, r"^run2\.log: error: 12 pulses from time zero on, but short\.nii\.gz holds "
                                      r"11 volumes$"), "one volume fewer than the pulses is an error: %s" % lines)
    expect(not has(lines, r"^run1\.log: error"), "the other run's image matches: %s" % lines)
    image("slow.nii", 12, 2.1)
    status, lines, _ = study.check("--bold", "slow.nii", "run1.log")
    expect(status == 1 and has(lines, r"^run1\.log: error: the median pulse interval, 2 s, is more than 1% from the "
                                      r"TR of slow\.nii, 2\.099999905 s"), "a TR 5%% off is an error: %s" % lines)
    # Without pulses the last event is compared: it begins at 23 s, after 10 volumes of 2 s.
    image("ten.nii", 10, 2.0)
    status, lines, _ = study.check("--bold", "ten.nii", "nopulse.log")
    expect(status == 1 and has(lines, r"^nopulse\.log: error: the last event begins at 23 s .*after the 10 volumes "
                                      r"of ten\.nii end at 20 s"), "the last event against the image: %s" % lines)

    image("flat.nii", 1, 2.0, dims=3)
    with open(os.path.join(folder, "cut.nii"), "wb") as out, open(os.path.join(folder, "good.nii"), "rb") as whole:
        out.write(whole.read(200))
    with open(os.path.join(folder, "text.nii.gz"), "wb") as out:
        out.write(b"not an image at all, and long enough to be read as a header's bytes" * 10)
    for name, why in (("flat.nii", "3 dimensions"), ("cut.nii", "truncated"), ("text.nii.gz", "not a NIfTI image"),
                      ("absent.nii", "cannot be opened")):
        status, lines, _ = study.check("--bold", name, "run1.log")
        expect(status == 1 and has(lines, r"^run1\.log: error: %s: .*%s" % (re.escape(name), why)),
               "%s is refused, naming it: %s" % (name, lines))
    return None


# ---- report -------------------------------------------------------------------

class Page(html.parser.HTMLParser):
    """A report as a browser's parser sees it: its elements, findings and every address it names."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags = set()
        self.addresses = []
        self.findings = []
        self.finding = None
        self.text = []

    def handle_starttag(self, tag, attributes):
        self.tags.add(tag)
        for key, value in attributes:
            if key in ("href", "src", "xlink:href", "action", "srcset", "data") or key.startswith("on"):
                self.addresses.append("%s=%s" % (key, value))
            if value and re.search(r"url\((?!#)|https?:|//", value):
                self.addresses.append("%s=%s" % (key, value))
        if tag == "li" and dict(attributes).get("data-severity"):
            self.finding = []

    def handle_endtag(self, tag):
        if tag == "li" and self.finding is not None:
            self.findings.append("".join(self.finding))
            self.finding = None

    def handle_data(self, data):
        if self.finding is not None:
            self.finding.append(data)
        self.text.append(data)
        if self.lasttag == "style" and re.search(r"url\(|@import|https?:", data):
            self.addresses.append("style: " + data)


def report(program, folder):
    chromium = shutil.which("chromium")
    study = Study(program, folder)
    study.write("run<1>.log", pulses(30, 2.0) + [("Picture", "face & <house>", 12.0 + 4 * k, 1.0) for k in range(6)]
                + [("Picture", "face & <house>", 12.0, 1.0), ("Picture", "cue", 13.0, 0.5)])
    study.write("run2.log", pulses(30, 2.0) + [("Picture", "cue", 13.0 + 5 * k, 0.5) for k in range(8)])
    status, lines, err = study.check("--report", "report.html", "run<1>.log", "run2.log")
    expect(status == 1 and lines, "the study has an error: %s %s" % (lines, err))
    with open(os.path.join(folder, "report.html"), encoding="utf-8") as page:
        text = page.read()
    parsed = Page()
    parsed.feed(text)
    expect(text.startswith("<!DOCTYPE html>"), "an HTML5 document")
    expect(not parsed.addresses, "the report names no address outside it: %s" % parsed.addresses)
    expect("script" not in parsed.tags, "the report holds no script")
    expect(re.search(r"https?:|ftp:|@import|<link|<img", text, re.I) is None, "no outside address in the text")
    expect(parsed.findings == lines, "the report's findings are the printed ones, in order:\n%s\n%s" %
           (parsed.findings, lines))
    expect({"svg", "table", "style"} <= parsed.tags, "the report draws and tabulates: %s" % parsed.tags)
    expect("@media print" in text, "the report has a print style")
    if chromium is None:
        print("chromium is missing: bash cmake/ensure-packages.sh checkers installs it")
        return SKIP if not failures else None
    profile = tempfile.mkdtemp(dir=folder)
    shown = subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                            "--no-first-run", "--disable-background-networking", "--disable-component-update",
                            "--disable-sync", "--user-data-dir=" + profile, "--window-size=1280,2000",
                            "--virtual-time-budget=2000", "--dump-dom",
                            "file://" + os.path.join(folder, "report.html")],
                           capture_output=True, text=True, timeout=120)
    expect(shown.returncode == 0, "chromium renders the report: %s" % shown.stderr[-2000:])
    rendered = Page()
    rendered.feed(shown.stdout)
    words = " ".join("".join(rendered.text).split())
    for line in lines:
        expect(" ".join(line.split()) in words, "the rendered page shows: " + line)
    expect("face & <house>" in words, "names show as they are, markup and all")
    return None


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("findings", "figures", "images", "report"):
        print(__doc__)
        return 2
    mode, program = sys.argv[1], os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory(prefix="stimloom-check-") as folder:
        outcome = globals()[mode](program, folder)
    for failure in failures:
        print("FAILED: " + failure)
    if failures:
        return 1
    return SKIP if outcome == SKIP else 0


if __name__ == "__main__":
    sys.exit(main())
