// stimloom-host export --format fsl|afni|spm run as a program on whole
// studies: the files checked against each format's rules and against the
// BIDS export of the same runs, SPM's read back with scipy, and runs that fail.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "bench/log_generator.h"
#include "tests/program_run.h"
#include "tests/standin_fixture.h"

namespace stimloom {
namespace {

using testing::readFile;
using testing::TempDir;

using testing::Outcome;
using testing::quoted;

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  for (std::size_t at = 0;;) {
    const std::size_t next = text.find(separator, at);
    parts.push_back(text.substr(at, next == std::string::npos ? std::string::npos : next - at));
    if (next == std::string::npos) return parts;
    at = next + 1;
  }
}

// The lines of a text that ends with a line end; a text without one fails.
std::vector<std::string> linesOf(const std::string& text) {
  EXPECT_TRUE(!text.empty() && text.back() == '\n') << "no final line end: " << text;
  EXPECT_EQ(text.find('\r'), std::string::npos) << "LF line ends";
  if (text.empty()) return {};
  return split(text.substr(0, text.size() - 1), '\n');
}

std::vector<std::vector<std::string>> tsvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : linesOf(text)) rows.push_back(split(line, '\t'));
  return rows;
}

// The files in a folder, sorted; none when it does not exist.
std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code status;
  for (const auto& entry : std::filesystem::directory_iterator(folder, status)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool plainDecimal(const std::string& number, bool mayBeNegative) {
  const std::string body = mayBeNegative && number.starts_with('-') ? number.substr(1) : number;
  return !body.empty() && body.find_first_not_of("0123456789.") == std::string::npos &&
         std::count(body.begin(), body.end(), '.') <= 1 && body.front() != '.' && body.back() != '.';
}

// A log without a Subject column, one event "type code time [duration]" a line.
std::string logText(const std::vector<std::string>& events) {
  std::string text =
      "Scenario - study\nLogfile written - 01/02/2026 09:00:00\n\n"
      "Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\n\n";
  int trial = 0;
  for (const std::string& event : events) text += std::to_string(++trial) + "\t" + event + "\n";
  return text;
}
std::string picture(const std::string& code, const std::string& time, const std::string& duration) {
  return "Picture\t" + code + "\t" + time + "\t0\t1\t" + duration;
}
std::string pulse(const std::string& time) { return "Pulse\t99\t" + time + "\t0\t1"; }

// The study of docs/exporting.md: with one dummy volume, time zero is 12 s in
// both runs, so run 1's cue falls before it; run 2 shows no house.
const std::vector<std::string> kRun1 = {
    pulse("100000"), picture("cue", "110000", "5000"),   pulse("120000"), picture("face", "125000", "5000"),
    pulse("140000"), picture("house", "142500", "5000"), pulse("160000"), picture("face", "160000", "10000")};
const std::vector<std::string> kRun2 = {pulse("100000"),
                                        pulse("120000"),
                                        picture("face", "130000", "5000"),
                                        pulse("140000"),
                                        picture("cue", "150000", "2000"),
                                        pulse("160000")};

// One run of a study as the BIDS export gives it: the reference for the others.
struct BidsRun {
  std::vector<std::vector<std::string>> rows;  // onset, duration, trial_type, value, event_type
  std::vector<std::string> rowsOf(const std::string& condition, bool fromZeroOnly, char separator) const {
    std::vector<std::string> kept;
    for (const auto& row : rows) {
      if (row[2] != condition || (fromZeroOnly && row[0].starts_with('-'))) continue;
      kept.push_back(row[0] + separator + row[1]);
    }
    return kept;
  }
  std::size_t beforeZero(const std::string& condition) const {
    return static_cast<std::size_t>(std::count_if(
        rows.begin(), rows.end(), [&](const auto& row) { return row[2] == condition && row[0].starts_with('-'); }));
  }
};

struct ReadMat {
  std::vector<std::string> names;
  std::vector<std::vector<double>> onsets, durations;
};

class StudyExport : public ::testing::Test {
 protected:
  Outcome host(const std::vector<std::string>& arguments) {
    return testing::runProgram(dir_, STIMLOOM_HOST_PATH, arguments);
  }
  std::string write(const std::string& name, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(dir_.file(name)).parent_path());
    return dir_.write(name, text);
  }
  // The runs exported as BIDS events, and the study's conditions from them,
  // in order of first appearance.
  std::vector<BidsRun> bidsOf(const std::vector<std::string>& inputs, const std::vector<std::string>& options,
                              std::vector<std::string>& conditions) {
    std::vector<std::string> arguments = {"export", "--format", "bids", "--out", dir_.file("bids")};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    const Outcome outcome = host(arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    std::vector<BidsRun> runs;
    for (const std::string& input : inputs) {
      const std::string stem = std::filesystem::path(input).stem().string();
      auto rows = tsvRows(readFile(dir_.file("bids/" + stem + "_events.tsv")));
      rows.erase(rows.begin());
      for (const auto& row : rows) {
        if (std::find(conditions.begin(), conditions.end(), row[2]) == conditions.end()) conditions.push_back(row[2]);
      }
      runs.push_back({rows});
    }
    return runs;
  }
  nlohmann::json readMatJson(const std::string& path) {
    const std::string command = std::string(STIMLOOM_CHECKER_PYTHON " " STIMLOOM_READ_MAT_SCRIPT " ") + quoted(path);
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    if (pipe == nullptr) return {};
    std::string output;
    for (int ch; (ch = std::fgetc(pipe)) != EOF;) output.push_back(static_cast<char>(ch));
    EXPECT_EQ(pclose(pipe), 0) << command << "\n" << output;
    const auto read = nlohmann::json::parse(output, nullptr, false);
    EXPECT_FALSE(read.is_discarded()) << output;
    return read.is_discarded() ? nlohmann::json() : read;
  }
  ReadMat readMat(const std::string& path) {
    const nlohmann::json read = readMatJson(path);
    ReadMat mat;
    if (read.is_null()) return mat;
    for (const auto& name : read["names"]) mat.names.push_back(name["text"]);
    for (const auto& [key, into] : {std::pair{"onsets", &mat.onsets}, std::pair{"durations", &mat.durations}}) {
      for (const auto& column : read[key]) {
        EXPECT_EQ(column["shape"][1], 1) << "a column vector";
        into->emplace_back();
        for (const std::string text : column["values"]) {
          double value = 0;
          std::from_chars(text.data(), text.data() + text.size(), value);
          into->back().push_back(value);
        }
      }
    }
    return mat;
  }
  TempDir dir_;
};

double nearest(const std::string& text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  EXPECT_TRUE(error == std::errc{} && end == text.data() + text.size()) << text;
  return value;
}

std::vector<std::uint64_t> bitsOf(const std::vector<double>& values) {
  std::vector<std::uint64_t> bits;
  for (const double value : values) bits.push_back(std::bit_cast<std::uint64_t>(value));
  return bits;
}

// FSL's files of one run, by the format's rules and against the run's BIDS
// rows. Returns the condition files' names with the stem taken off, which
// must be the same in every run.
std::vector<std::string> expectFslRun(const std::string& folder, const std::string& stem, const BidsRun& bids,
                                      const std::vector<std::string>& conditions) {
  const auto list = tsvRows(readFile(folder + "/" + stem + "_conditions.tsv"));
  EXPECT_EQ(list.size(), conditions.size() + 1) << "every condition of the study, in every run";
  if (list.size() != conditions.size() + 1) return {};
  EXPECT_EQ(list[0], (std::vector<std::string>{"file", "condition", "events", "left_out_before_zero"}));
  std::vector<std::string> evNames;
  for (std::size_t c = 0; c < conditions.size(); ++c) {
    const auto& row = list[c + 1];
    SCOPED_TRACE(stem + ": " + conditions[c]);
    EXPECT_EQ(row.size(), 4u);
    EXPECT_EQ(row[1], conditions[c]) << "in order of first appearance";
    const std::string& file = row[0];
    EXPECT_TRUE(file.starts_with(stem + "_") && file.ends_with(".txt")) << file;
    evNames.push_back(file.substr(stem.size() + 1, file.size() - stem.size() - 5));
    const std::vector<std::string> lines = linesOf(readFile(folder + "/" + file));
    EXPECT_FALSE(lines.empty()) << "no EV file is empty";
    if (std::find(lines.begin(), lines.end(), "0\t0\t0") != lines.end()) {
      EXPECT_EQ(lines.size(), 1u) << "0 0 0 stands alone";
    }
    std::vector<std::string> timings;
    for (const std::string& line : lines) {
      if (line == "0\t0\t0") continue;
      const auto fields = split(line, '\t');
      EXPECT_EQ(fields.size(), 3u) << line;
      if (fields.size() != 3) continue;
      EXPECT_TRUE(plainDecimal(fields[0], false) && plainDecimal(fields[1], false)) << line;
      EXPECT_EQ(fields[2], "1") << line;
      timings.push_back(fields[0] + "\t" + fields[1]);
    }
    EXPECT_EQ(timings, bids.rowsOf(conditions[c], true, '\t')) << "the BIDS rows from time zero on";
    EXPECT_EQ(row[2], std::to_string(timings.size()));
    EXPECT_EQ(row[3], std::to_string(bids.beforeZero(conditions[c])));
  }
  return evNames;
}

// File names of safe bytes, unique even where letter case is ignored.
void expectSafeUniqueNames(const std::vector<std::string>& names) {
  std::set<std::string> folded;
  for (std::string name : names) {
    EXPECT_EQ(name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-"),
              std::string::npos)
        << name;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    EXPECT_TRUE(folded.insert(name).second) << "collides: " << name;
  }
}

// AFNI's files, by the format's rules and against every run's BIDS rows.
void expectAfniFiles(const std::string& folder, const std::string& prefix, const std::vector<BidsRun>& bids,
                     const std::vector<std::string>& conditions) {
  const auto list = tsvRows(readFile(folder + "/" + prefix + "_conditions.tsv"));
  ASSERT_EQ(list.size(), conditions.size() + 1);
  EXPECT_EQ(list[0],
            (std::vector<std::string>{"file", "condition", "events", "left_out_before_zero", "events_per_run"}));
  std::vector<std::string> names;
  for (std::size_t c = 0; c < conditions.size(); ++c) {
    const auto& row = list[c + 1];
    SCOPED_TRACE(conditions[c]);
    ASSERT_EQ(row.size(), 5u);
    EXPECT_EQ(row[1], conditions[c]);
    EXPECT_TRUE(row[0].starts_with(prefix + "_") && row[0].ends_with(".1D")) << row[0];
    names.push_back(row[0].substr(prefix.size() + 1, row[0].size() - prefix.size() - 4));
    const std::vector<std::string> lines = linesOf(readFile(folder + "/" + row[0]));
    ASSERT_EQ(lines.size(), bids.size()) << "one line per run";
    std::size_t total = 0, beforeZero = 0;
    std::string perRun;
    for (std::size_t r = 0; r < lines.size(); ++r) {
      std::vector<std::string> pairs = split(lines[r], ' ');
      if (pairs.back() == "*") {
        pairs.pop_back();
        EXPECT_LE(pairs.size(), 1u) << "a '*' stands alone or after a run's only event: " << lines[r];
      } else {
        EXPECT_GE(pairs.size(), 2u) << "a run of one event ends in ' *': " << lines[r];
      }
      for (const std::string& pair : pairs) {
        const auto married = split(pair, ':');
        ASSERT_EQ(married.size(), 2u) << pair;
        EXPECT_TRUE(plainDecimal(married[0], false) && plainDecimal(married[1], false)) << pair;
      }
      EXPECT_EQ(pairs, bids[r].rowsOf(conditions[c], true, ':')) << "run " << r + 1;
      total += pairs.size();
      beforeZero += bids[r].beforeZero(conditions[c]);
      perRun += (r > 0 ? " " : "") + std::to_string(pairs.size());
    }
    EXPECT_EQ(row[2], std::to_string(total));
    EXPECT_EQ(row[3], std::to_string(beforeZero));
    EXPECT_EQ(row[4], perRun);
  }
  expectSafeUniqueNames(names);
}

// SPM's file of one run, read by scipy: the conditions with events, in the
// study's order, with the nearest doubles of the BIDS export's texts.
void expectSpmRun(const ReadMat& mat, const BidsRun& bids, const std::vector<std::string>& conditions) {
  std::vector<std::string> expectedNames;
  std::vector<std::vector<double>> onsets, durations;
  for (const std::string& condition : conditions) {
    const std::vector<std::string> rows = bids.rowsOf(condition, false, '\t');
    if (rows.empty()) continue;
    expectedNames.push_back(condition);
    onsets.emplace_back();
    durations.emplace_back();
    for (const std::string& row : rows) {
      onsets.back().push_back(nearest(row.substr(0, row.find('\t'))));
      durations.back().push_back(nearest(row.substr(row.find('\t') + 1)));
    }
  }
  EXPECT_EQ(mat.names, expectedNames);
  ASSERT_EQ(mat.onsets.size(), onsets.size());
  ASSERT_EQ(mat.durations.size(), durations.size());
  for (std::size_t c = 0; c < onsets.size(); ++c) {
    EXPECT_EQ(bitsOf(mat.onsets[c]), bitsOf(onsets[c])) << expectedNames[c];
    EXPECT_EQ(bitsOf(mat.durations[c]), bitsOf(durations[c])) << expectedNames[c];
  }
}

TEST_F(StudyExport, TheWorkedExampleGivesTheseFilesBesideEachInput) {
  const std::string run1 = write("a/run1.log", logText(kRun1));
  const std::string run2 = write("b/run2.log", logText(kRun2));
  const std::string a = dir_.file("a"), b = dir_.file("b");

  const Outcome fsl = host({"export", "--format", "fsl", "--dummy-volumes", "1", run1, run2});
  ASSERT_EQ(fsl.status, 0) << fsl.err;
  const std::map<std::string, std::string> fslFiles = {
      {a + "/run1_cue.txt", "0\t0\t0\n"},
      {a + "/run1_face.txt", "0.5\t1.75\t1\n4\t1\t1\n"},
      {a + "/run1_house.txt", "2.25\t1.75\t1\n"},
      {a + "/run1_conditions.tsv",
       "file\tcondition\tevents\tleft_out_before_zero\nrun1_cue.txt\tcue\t0\t1\nrun1_face.txt\tface\t2\t0\n"
       "run1_house.txt\thouse\t1\t0\n"},
      {b + "/run2_cue.txt", "3\t0.2\t1\n"},
      {b + "/run2_face.txt", "1\t2\t1\n"},
      {b + "/run2_house.txt", "0\t0\t0\n"},
  };
  for (const auto& [path, bytes] : fslFiles) EXPECT_EQ(readFile(path), bytes) << path;
  const std::string pulses =
      " pulses from 10000 ms to 16000 ms, intervals: median 2000 ms, smallest 2000 ms, largest "
      "2000 ms\n";
  EXPECT_EQ(fsl.out, "exported " + run1 +
                         ": 3 events in 2 of 3 conditions (0 0 0: cue), 1 event before zero left out, layout: no "
                         "Subject column (its column header, line 4) -> " +
                         a + "/run1_cue.txt, " + a + "/run1_face.txt, " + a + "/run1_house.txt, " + a +
                         "/run1_conditions.tsv\npulses of " + run1 + ": 4" + pulses + "exported " + run2 +
                         ": 2 events in 2 of 3 conditions (0 0 0: house), layout: no Subject column (its column "
                         "header, line 4) -> " +
                         b + "/run2_cue.txt, " + b + "/run2_face.txt, " + b + "/run2_house.txt, " + b +
                         "/run2_conditions.tsv\npulses of " + run2 + ": 4" + pulses);
  EXPECT_EQ(fsl.err, "");

  const Outcome afni = host({"export", "--format", "afni", "--dummy-volumes", "1", run1, run2});
  ASSERT_EQ(afni.status, 0) << afni.err;
  EXPECT_EQ(readFile(a + "/run1_cue.1D"), "*\n3:0.2 *\n");
  EXPECT_EQ(readFile(a + "/run1_face.1D"), "0.5:1.75 4:1\n1:2 *\n");
  EXPECT_EQ(readFile(a + "/run1_house.1D"), "2.25:1.75 *\n*\n");
  EXPECT_EQ(readFile(a + "/run1_conditions.tsv").substr(0, 5), "file\t") << "FSL's list replaced by AFNI's";
  EXPECT_FALSE(std::filesystem::exists(b + "/run2_cue.1D")) << "AFNI's files go beside the first input";
  for (const std::string& line :
       {std::string("-> line 2 of each .1D file\n"),
        "exported \"cue\": 1 event in 1 of 2 runs, 1 event before zero left out -> " + a + "/run1_cue.1D\n",
        "exported \"house\": 1 event in 1 of 2 runs -> " + a + "/run1_house.1D\n",
        "listed 3 AFNI files -> " + a + "/run1_conditions.tsv\n"}) {
    EXPECT_NE(afni.out.find(line), std::string::npos) << line << "\nin:\n" << afni.out;
  }

  // SPM into a folder that is made for it.
  const std::string out = dir_.file("glm/spm");
  const Outcome spm =
      host({"export", "--format", "spm", "--dummy-volumes", "1", "--prefix", "ignored", "--out", out, run1, run2});
  ASSERT_EQ(spm.status, 0) << spm.err;
  EXPECT_EQ(filesIn(out), (std::vector<std::string>{"run1_conditions.mat", "run2_conditions.mat"}));
  EXPECT_NE(spm.out.find(": 4 events in 3 of 3 conditions, 1 event before zero kept, "), std::string::npos) << spm.out;
  EXPECT_NE(spm.out.find(": 2 events in 2 of 3 conditions (left out, as they have no events: house), "),
            std::string::npos);
  const ReadMat first = readMat(out + "/run1_conditions.mat");
  EXPECT_EQ(first.names, (std::vector<std::string>{"cue", "face", "house"}));
  EXPECT_EQ(first.onsets, (std::vector<std::vector<double>>{{-1.0}, {0.5, 4.0}, {2.25}}));
  EXPECT_EQ(first.durations, (std::vector<std::vector<double>>{{1.5}, {1.75, 1.0}, {1.75}}));
  const ReadMat second = readMat(out + "/run2_conditions.mat");
  EXPECT_EQ(second.names, (std::vector<std::string>{"cue", "face"}));
  EXPECT_EQ(second.onsets, (std::vector<std::vector<double>>{{3.0}, {1.0}}));
  EXPECT_EQ(second.durations, (std::vector<std::vector<double>>{{0.2}, {2.0}}));
}

// Generated logs: many codes, so conditions missing from some runs, names
// with spaces and colons, "target" beside "Target", and events before zero
// once two dummy volumes are skipped.
TEST_F(StudyExport, AGeneratedStudyFollowsEachFormatsRulesAndAgreesWithItsBidsExport) {
  std::vector<std::string> inputs;
  for (const std::size_t events : {std::size_t{40}, std::size_t{25}, std::size_t{60}}) {
    inputs.push_back(
        write("logs/gen" + std::to_string(events) + ".log", bench::generatePresentationLog(events, 20261208 + events)));
  }
  const std::vector<std::string> options = {"--dummy-volumes", "2", "--duration-rule", "2"};
  std::vector<std::string> conditions;
  const std::vector<BidsRun> bids = bidsOf(inputs, options, conditions);
  ASSERT_EQ(bids.size(), inputs.size());
  // What this study is meant to cover.
  std::size_t missing = 0, beforeZero = 0;
  for (const BidsRun& run : bids) {
    for (const std::string& condition : conditions) {
      if (run.rowsOf(condition, false, ':').empty()) ++missing;
      beforeZero += run.beforeZero(condition);
    }
  }
  ASSERT_GT(missing, 0u);
  ASSERT_GT(beforeZero, 0u);
  ASSERT_NE(std::find(conditions.begin(), conditions.end(), "Target"), conditions.end());
  ASSERT_NE(std::find(conditions.begin(), conditions.end(), "target"), conditions.end());

  const auto exportAs = [&](const std::string& format, const std::string& folder) {
    std::vector<std::string> arguments = {"export", "--format", format, "--out", dir_.file(folder), "--prefix", "gen"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    const Outcome outcome = host(arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    for (const std::string& input : inputs) {
      EXPECT_NE(outcome.out.find("exported " + input + ": "), std::string::npos) << outcome.out;
      EXPECT_NE(outcome.out.find("pulses of " + input + ": "), std::string::npos);
    }
  };

  exportAs("fsl", "fsl");
  std::vector<std::string> firstRunsNames;
  std::size_t listed = 0;
  for (std::size_t r = 0; r < inputs.size(); ++r) {
    const std::string stem = std::filesystem::path(inputs[r]).stem().string();
    SCOPED_TRACE(stem);
    const std::vector<std::string> names = expectFslRun(dir_.file("fsl"), stem, bids[r], conditions);
    if (r == 0) firstRunsNames = names;
    EXPECT_EQ(names, firstRunsNames) << "every run names its EV files alike";
    expectSafeUniqueNames(names);
    listed += names.size() + 1;
  }
  EXPECT_EQ(filesIn(dir_.file("fsl")).size(), listed) << "nothing but the listed files";

  exportAs("afni", "afni");
  expectAfniFiles(dir_.file("afni"), "gen", bids, conditions);
  EXPECT_EQ(filesIn(dir_.file("afni")).size(), conditions.size() + 1);

  exportAs("spm", "spm");
  for (std::size_t r = 0; r < inputs.size(); ++r) {
    const std::string stem = std::filesystem::path(inputs[r]).stem().string();
    SCOPED_TRACE(stem);
    expectSpmRun(readMat(dir_.file("spm/" + stem + "_conditions.mat")), bids[r], conditions);
  }
}

// A run without a pulse: AFNI, whose every file holds every run, writes
// nothing; FSL and SPM write the other runs' files.
TEST_F(StudyExport, ARunThatFailsFailsAfniWholeAndOnlyItselfForFslAndSpm) {
  const std::string run1 = write("run1.log", logText(kRun1));
  const std::string bad = write("nopulse.log", logText({picture("face", "10000", "100")}));
  const std::string run2 = write("run2.log", logText(kRun2));
  const std::string failure = "stimloom-host: not exported: " + bad + ": the log holds no scanner pulse";
  struct Case {
    std::string format;
    std::vector<std::string> files;  // what the folder holds afterwards
  };
  const std::vector<Case> cases = {
      {"fsl",
       {"run1_conditions.tsv", "run1_cue.txt", "run1_face.txt", "run1_house.txt", "run2_conditions.tsv", "run2_cue.txt",
        "run2_face.txt", "run2_house.txt"}},
      {"spm", {"run1_conditions.mat", "run2_conditions.mat"}},
      {"afni", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    const std::string out = dir_.file("out-" + c.format);
    const Outcome outcome = host({"export", "--format", c.format, "--out", out, run1, bad, run2});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find(failure), std::string::npos) << outcome.err;
    EXPECT_EQ(filesIn(out), c.files) << "no file of the failed run, no temporary";
    EXPECT_EQ(outcome.out.find(bad), std::string::npos) << outcome.out;
    if (c.format == "afni") {
      EXPECT_FALSE(std::filesystem::exists(out));
      EXPECT_EQ(outcome.out, "");
      EXPECT_NE(outcome.err.find("no AFNI file was written: each holds a line for every run, and 1 of the 3 runs "
                                 "could not be read (" +
                                 bad + ")"),
                std::string::npos)
          << outcome.err;
    } else {
      EXPECT_NE(outcome.out.find("exported " + run1 + ": "), std::string::npos) << outcome.out;
      EXPECT_NE(outcome.out.find("exported " + run2 + ": "), std::string::npos) << outcome.out;
    }
  }
  // The conditions are those of the runs that were read: the failed run's own
  // condition is not among them.
  EXPECT_EQ(readFile(dir_.file("out-fsl/run2_house.txt")), "0\t0\t0\n");
}

TEST_F(StudyExport, FilesThatCannotBeWrittenFailTheRunsNamedAndNothingIsOverwritten) {
  const std::string run1 = write("a/run1.log", logText(kRun1));
  const std::string same = write("b/run1.log", logText(kRun2));
  const std::string notAFolder = write("plain.txt", "x");
  for (const std::string format : {"fsl", "spm", "afni"}) {
    SCOPED_TRACE(format);
    const Outcome blocked = host({"export", "--format", format, "--out", notAFolder, run1});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_NE(blocked.err.find("not exported: " + run1 + ": " + notAFolder + ": is not a folder"), std::string::npos)
        << blocked.err;
    EXPECT_EQ(blocked.out, "");

    // Two runs of one name into one folder: FSL's and SPM's second would
    // replace the first's files; AFNI's files are per condition.
    const std::string out = dir_.file("same-" + format);
    const Outcome twice = host({"export", "--format", format, "--out", out, run1, same});
    if (format == "afni") {
      EXPECT_EQ(twice.status, 0) << twice.err;
      EXPECT_EQ(readFile(out + "/run1_house.1D"), "4.25:1.75 *\n*\n");
      continue;
    }
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.err.find("not exported: " + same + ": its files would replace those of " + run1), std::string::npos)
        << twice.err;
    EXPECT_EQ(twice.out.find(same), std::string::npos);
  }
  EXPECT_EQ(readFile(dir_.file("same-fsl/run1_cue.txt")), "1\t1.5\t1\n") << "run 1's files, not run 2's";
}

// A conditions file that matches nothing of a run: SPM cannot take a file
// without a condition, so that run is not written; FSL and AFNI refuse the
// call when no run has an event left, and write nothing.
TEST_F(StudyExport, ARunLeftWithNoConditionIsNotWritten) {
  const std::string run1 = write("run1.log", logText(kRun1));
  const std::string run2 = write("run2.log", logText(kRun2));
  const std::string houses = write("houses.tsv", "code\tcondition\nhouse\tscene\n");
  const std::string cues = write("cues.tsv", "code\tcondition\ncue\tcue\n");

  const std::string spmOut = dir_.file("spm");
  const Outcome spm =
      host({"export", "--format", "spm", "--dummy-volumes", "1", "--conditions", houses, "--out", spmOut, run1, run2});
  EXPECT_EQ(spm.status, 1);
  EXPECT_EQ(filesIn(spmOut), std::vector<std::string>{"run1_conditions.mat"});
  EXPECT_EQ(spm.err, "stimloom-host: not exported: " + run2 + ": the run has no event in a condition of " + houses +
                         " (2 events left out), and SPM cannot take a file without a condition, so none is written\n");
  EXPECT_NE(spm.out.find("exported " + run1 + ": 1 event in 1 of 1 condition, "), std::string::npos) << spm.out;
  EXPECT_EQ(spm.out.find(run2), std::string::npos) << spm.out;

  // Both runs' cues are before zero: FSL and AFNI hold nothing of either run.
  const std::string early = write("early.log", logText({picture("cue", "90000", "100"), pulse("100000"),
                                                        picture("face", "110000", "100"), pulse("120000")}));
  for (const std::string format : {"fsl", "afni"}) {
    SCOPED_TRACE(format);
    const std::string out = dir_.file("out-" + format);
    const Outcome refused =
        host({"export", "--format", format, "--dummy-volumes", "1", "--conditions", cues, "--out", out, run1, early});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    const std::string written = format == "fsl" ? "FSL" : "AFNI";
    EXPECT_EQ(refused.err, "stimloom-host: not exported: " + run1 + ": no run has an event in a condition of " + cues +
                               " from time zero on (this run: 3 events left out, 1 event before zero), so no " +
                               written + " file is written\nstimloom-host: not exported: " + early +
                               ": no run has an event in a condition of " + cues +
                               " from time zero on (this run: 1 event left out, 1 event before zero), so no " +
                               written + " file is written\n");
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  // A run with no event at all, and no conditions file.
  const std::string empty = write("empty.log", logText({pulse("100000")}));
  const Outcome none = host({"export", "--format", "spm", "--out", spmOut, empty});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, "stimloom-host: not exported: " + empty +
                          ": the run has no event, and SPM cannot take a file without a condition, so none is "
                          "written\n");
}

// A modulator the events do not carry is refused before anything is written;
// the BIDS export takes the option and writes what it always writes.
TEST_F(StudyExport, AModulatorTheEventsDoNotCarryIsRefusedAndBidsIgnoresTheOption) {
  const std::string run1 = write("run1.log", logText(kRun1));
  for (const std::string format : {"fsl", "afni", "spm"}) {
    SCOPED_TRACE(format);
    const std::string out = dir_.file("out-" + format);
    const Outcome refused = host({"export", "--format", format, "--modulator", "temperature", "--out", out, run1});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err,
              "stimloom-host: --modulator: the modulator temperature: no exported event carries a value of that name; "
              "the exported events carry no numeric column; nothing was exported\n");
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  const Outcome plain = host({"export", "--out", dir_.file("plain"), run1});
  const Outcome asked = host({"export", "--modulator", "temperature", "--out", dir_.file("asked"), run1});
  ASSERT_EQ(asked.status, 0) << asked.err;
  EXPECT_EQ(asked.err, plain.err);
  for (const std::string name : {"/run1_events.tsv", "/run1_events.json"}) {
    EXPECT_EQ(readFile(dir_.file("asked") + name), readFile(dir_.file("plain") + name)) << name;
  }
}

// Two runs of a heat study whose logs carry a temperature property and
// responses paired by Pair Index. Only the Pictures are mapped to conditions,
// and each lasts its own 2 s. Run 1: warm at 1 s (temperature 46, response
// after 0.4 s), hot at 3 s (48, 0.6 s), warm at 5 s (no temperature, no
// response), warm at 7 s (47, 0.5 s). Run 2, without hot: warm at 2 s (45,
// 0.3 s) and at 4 s (49, no response).
std::string heatLog(const std::vector<std::string>& table) {
  std::string text =
      "Scenario - heat\nLogfile written - 01/02/2026 09:00:00\n\n"
      "Subject\tTrial\tEvent Type\tCode\tEvent(str)\tTemperature(num)\tTime\tTTime\tUncertainty\tDuration\t"
      "Uncertainty\tReqTime\tReqDur\tStim Type\tPair Index\n\n";
  for (const std::string& row : table) text += row + "\n";
  return text + "\n\nEvent Type\tCode\tType\tResponse\n";
}
const std::vector<std::string> kHeat1 = {
    "s1\t1\tPulse\t99\t\t\t100000\t0\t1",
    "s1\t1\tPicture\twarm\tpad\t46\t110000\t0\t1\t20000\t1\t0\t20000\thit\t3",
    "s1\t1\tResponse\t1\t\t\t114000\t4000\t1",
    "s1\t2\tPicture\thot\tpad\t48\t130000\t0\t1\t20000\t1\t0\t20000\thit\t5",
    "s1\t2\tResponse\t1\t\t\t136000\t6000\t1",
    "s1\t3\tPicture\twarm\tpad\t\t150000\t0\t1\t20000\t1\t0\t20000\tmiss\t0",
    "s1\t4\tPicture\twarm\tpad\t47\t170000\t0\t1\t20000\t1\t0\t20000\thit\t8",
    "s1\t4\tResponse\t1\t\t\t175000\t5000\t1",
};
const std::vector<std::string> kHeat2 = {
    "s1\t1\tPulse\t99\t\t\t100000\t0\t1",
    "s1\t1\tPicture\twarm\tpad\t45\t120000\t0\t1\t20000\t1\t0\t20000\thit\t3",
    "s1\t1\tResponse\t1\t\t\t123000\t3000\t1",
    "s1\t2\tPicture\twarm\tpad\t49\t140000\t0\t1\t20000\t1\t0\t20000\tmiss\t0",
};

TEST_F(StudyExport, ModulatorsFromTheLogsColumnsReachEachTool) {
  const std::string heat1 = write("heat1.log", heatLog(kHeat1));
  const std::string heat2 = write("heat2.log", heatLog(kHeat2));
  const std::string map = write("heat.tsv", "code\tcondition\nwarm\twarm\nhot\thot\n");
  const auto exportAs = [&](const std::string& format, const std::vector<std::string>& modulators) {
    std::vector<std::string> arguments = {"export",   "--format", format,  "--duration-rule", "2", "--conditions", map,
                                          "--prefix", "heat",     "--out", dir_.file(format)};
    for (const std::string& name : modulators) arguments.insert(arguments.end(), {"--modulator", name});
    arguments.insert(arguments.end(), {heat1, heat2});
    return host(arguments);
  };
  const std::vector<std::string> both = {"response_time", "temperature"};

  // FSL, per run: warm's response times 0.4, n/a, 0.5 about 0.45 and
  // temperatures 46, n/a, 47 about 46.5; run 2's one response time is none,
  // its temperatures 45 and 49 about 47. The single hot event is no modulator.
  const Outcome fsl = exportAs("fsl", both);
  ASSERT_EQ(fsl.status, 0) << fsl.err;
  const std::string f = dir_.file("fsl") + "/";
  EXPECT_EQ(filesIn(dir_.file("fsl")),
            (std::vector<std::string>{"heat1_conditions.tsv", "heat1_hot.txt", "heat1_warm.txt",
                                      "heat1_warm_response_time.txt", "heat1_warm_temperature.txt",
                                      "heat2_conditions.tsv", "heat2_hot.txt", "heat2_warm.txt",
                                      "heat2_warm_response_time.txt", "heat2_warm_temperature.txt"}));
  EXPECT_EQ(readFile(f + "heat1_warm_response_time.txt"), "1\t2\t-0.05\n5\t2\t0\n7\t2\t0.05\n");
  EXPECT_EQ(readFile(f + "heat1_warm_temperature.txt"), "1\t2\t-0.5\n5\t2\t0\n7\t2\t0.5\n");
  EXPECT_EQ(readFile(f + "heat2_warm_response_time.txt"), "0\t0\t0\n");
  EXPECT_EQ(readFile(f + "heat2_warm_temperature.txt"), "2\t2\t-2\n4\t2\t2\n");
  EXPECT_EQ(readFile(f + "heat2_conditions.tsv"),
            "file\tcondition\tevents\tleft_out_before_zero\tmodulator\n"
            "heat2_warm.txt\twarm\t2\t0\tn/a\nheat2_hot.txt\thot\t0\t0\tn/a\n"
            "heat2_warm_response_time.txt\twarm\t0\t0\tresponse_time\n"
            "heat2_warm_temperature.txt\twarm\t2\t0\ttemperature\n");
  for (const std::string& warning :
       {"stimloom-host: warning: " + heat1 +
            ": condition \"warm\", modulator response_time: 1 of 3 events have no value and take the mean of the "
            "others, 0.45\n",
        "stimloom-host: warning: " + heat1 +
            ": condition \"hot\", modulator temperature: its one event has the value 48, so centred it would be "
            "all zeros: there is no modulator\n"}) {
    EXPECT_NE(fsl.err.find(warning), std::string::npos) << warning << "\nin:\n" << fsl.err;
  }

  // AFNI, over both runs: response times 0.4, 0.5 and 0.3 about 0.4,
  // temperatures 46, 47, 45 and 49 about 46.75; raw values, married.
  const Outcome afni = exportAs("afni", both);
  ASSERT_EQ(afni.status, 0) << afni.err;
  EXPECT_EQ(readFile(dir_.file("afni") + "/heat_warm_AM.1D"),
            "1*0.4,46:2 5*0.4,46.75:2 7*0.5,47:2\n2*0.3,45:2 4*0.4,49:2\n");
  EXPECT_EQ(readFile(dir_.file("afni") + "/heat_warm.1D"), "1:2 5:2 7:2\n2:2 4:2\n");
  EXPECT_FALSE(std::filesystem::exists(dir_.file("afni") + "/heat_hot_AM.1D"));
  EXPECT_NE(afni.out.find("exported modulators -> " + dir_.file("afni") + "/heat_warm_AM.1D\n"), std::string::npos)
      << afni.out;

  // SPM, read back by scipy: pmod per condition in the order of names.
  const Outcome spm = exportAs("spm", {"temperature", "response_time"});
  ASSERT_EQ(spm.status, 0) << spm.err;
  using Modulators = std::vector<std::pair<std::string, std::vector<std::string>>>;  // names and param values
  const std::vector<std::pair<std::string, std::vector<Modulators>>> expected = {
      {"heat1", {{{"temperature", {"46.0", "46.5", "47.0"}}, {"response_time", {"0.4", "0.45", "0.5"}}}, {}}},
      {"heat2", {{{"temperature", {"45.0", "49.0"}}}}},
  };
  for (const auto& [stem, pmod] : expected) {
    SCOPED_TRACE(stem);
    const nlohmann::json read = readMatJson(dir_.file("spm/" + stem + "_conditions.mat"));
    EXPECT_EQ(read["pmod_fields"], nlohmann::json({"name", "param", "poly"}));
    ASSERT_EQ(read["pmod"].size(), pmod.size());
    for (std::size_t c = 0; c < pmod.size(); ++c) {
      const nlohmann::json& element = read["pmod"][c];
      const nlohmann::json shape = pmod[c].empty() ? nlohmann::json({0, 0}) : nlohmann::json({1, pmod[c].size()});
      for (const char* field : {"name", "param", "poly"}) EXPECT_EQ(element[field]["shape"], shape) << field;
      ASSERT_EQ(element["param"]["elements"].size(), pmod[c].size());
      for (std::size_t k = 0; k < pmod[c].size(); ++k) {
        EXPECT_EQ(element["name"]["elements"][k]["text"], pmod[c][k].first);
        EXPECT_EQ(element["param"]["elements"][k]["values"], nlohmann::json(pmod[c][k].second));
        EXPECT_EQ(element["param"]["elements"][k]["values"].size(), read["onsets"][c]["values"].size());
      }
    }
  }

  // Refused, with the names the export offers: a text property, an unknown name.
  for (const auto& [name, why] : {std::pair{"event", " is a text column, not a number"},
                                  std::pair{"rating", ": no exported event carries a value of that name"}}) {
    const Outcome refused = exportAs("fsl", {name});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, std::string("stimloom-host: --modulator: the modulator ") + name + why +
                               "; the export offers response_time, temperature; nothing was exported\n");
  }
}

}  // namespace
}  // namespace stimloom
