// Parametric modulators as values: exact decimal means, and the FSL, AFNI
// and SPM forms of a small study whose every number is worked by hand (it is
// the worked example of docs/exporting.md).

#include "export/modulators.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "export/study_exports.h"
#include "log/presentation_log.h"
#include "tests/scipy_reads.h"
#include "tests/standin_fixture.h"
#include "tests/study_runs.h"
#include "util/decimal.h"

namespace stimloom {
namespace {

TEST(ExactDecimal, ReadsDecimalTextsAndRefusesTheRest) {
  const std::vector<std::pair<std::string, std::string>> read = {
      {"12", "12"},     {"-0.4521", "-0.4521"}, {"+3.", "3"},       {".5", "0.5"},   {"1.5e-3", "0.0015"},
      {"2E4", "20000"}, {"-0.000", "0"},        {"042.10", "42.1"}, {"1e+2", "100"},
  };
  for (const auto& [text, plain] : read) {
    const auto value = ExactDecimal::parse(text);
    ASSERT_TRUE(value) << text;
    EXPECT_EQ(value->text(), plain) << text;
  }
  for (const std::string text :
       {"", "-", ".", "1.2.3", " 1", "1 ", "inf", "nan", "0x10", "1e", "1e+", "1e401", "1,5"}) {
    EXPECT_FALSE(ExactDecimal::parse(text)) << text;
  }
}

TEST(ExactDecimal, SumsAndMeansAreExactAndRoundAHalfAwayFromZero) {
  const auto d = [](const char* text) { return *ExactDecimal::parse(text); };
  EXPECT_EQ((d("0.1") + d("0.2")).text(), "0.3");
  EXPECT_EQ((d("0.5") - d("0.65")).text(), "-0.15");
  EXPECT_EQ((d("-2.5") + d("2.5")), ExactDecimal());
  struct Mean {
    const char* sum;
    std::uint32_t count;
    int places;
    const char* mean;
  };
  for (const Mean& c : std::vector<Mean>{{"126.5", 3, 6, "42.166667"},
                                         {"2", 3, 6, "0.666667"},
                                         {"-2", 3, 6, "-0.666667"},
                                         {"1", 8, 2, "0.13"},  // 0.125: the half goes up
                                         {"-1", 8, 2, "-0.13"},
                                         {"1", 8, 3, "0.125"},
                                         {"0.0000004", 1, 6, "0"},
                                         {"0.0000005", 1, 6, "0.000001"},
                                         {"9.9999996", 1, 6, "10"},
                                         {"12345678901234567890.5", 5, 6, "2469135780246913578.1"},
                                         {"1e-300", 7, 6, "0"},
                                         {"0", 4, 6, "0"}}) {
    EXPECT_EQ(d(c.sum).dividedBy(c.count, c.places).text(), c.mean) << c.sum << " / " << c.count;
  }
  EXPECT_EQ(d("0.575").nearestDouble(), 0.575);
}

using testing::picture;
using testing::pulse;
using testing::runOf;

// The column as the events of the run carry it, in their order; "" is n/a.
EventColumn columnOf(const std::string& name, bool numeric, const std::vector<std::string>& values) {
  EventColumn column{name, "", numeric, {}};
  for (const std::string& value : values) {
    column.values.push_back(value.empty() ? std::nullopt : std::optional<std::string>(value));
  }
  return column;
}

// Two runs timed from a pulse at 10 s. Run 1: a cue before zero, faces at 1,
// 5 and 7 s, houses at 3 and 9 s; run 2: faces at 2 and 4 s, a cue at 6 s,
// no house. Each event lasts until the next; the last its own Duration.
std::vector<RunEvents> studyRuns() {
  std::vector<RunEvents> runs = {
      runOf({picture("cue", "90000"), pulse("100000"), picture("face", "110000"), picture("house", "130000"),
             picture("face", "150000"), picture("face", "170000"), picture("house", "190000", "10000")}),
      runOf({pulse("100000"), picture("face", "120000"), picture("face", "140000"), picture("cue", "160000", "5000")}),
  };
  // cue, face, house, face, face, house
  runs[0].columns = {columnOf("response_time", true, {"0.9", "0.5", "0.7", "", "0.8", "0.6"}),
                     columnOf("response", false, {"1", "1", "2", "", "1", "2"}),
                     columnOf("temperature", true, {"", "40", "", "42", "44.5", "41"})};
  // face, face, cue
  runs[1].columns = {columnOf("response_time", true, {"0.45", "0.55", ""}),
                     columnOf("temperature", true, {"43", "", ""})};
  return runs;
}

const std::vector<std::string> kSources = {"run1.log", "run2.log"};
const std::vector<std::string> kAsked = {"response_time", "temperature"};

std::vector<std::string> namesOf(const std::vector<ExportFile>& files) {
  std::vector<std::string> names;
  for (const ExportFile& file : files) names.push_back(file.name);
  return names;
}

TEST(Modulators, FslCentresEachRunsConditionOnItsMeanAndFillsTheOtherRunsWithEmptyEvs) {
  const std::vector<RunEvents> runs = studyRuns();
  const StudyConditions study = studyConditions(runs);
  ASSERT_EQ(study.names, (std::vector<std::string>{"cue", "face", "house"}));
  const FslModulators modulators = fslModulators(runs, kSources, study, kAsked);

  const FslRunFiles first = fslRunFiles(runs[0], study, "run1", &modulators, 0);
  EXPECT_EQ(namesOf(first.files), (std::vector<std::string>{"run1_cue.txt", "run1_face.txt", "run1_house.txt",
                                                            "run1_face_response_time.txt", "run1_face_temperature.txt",
                                                            "run1_house_response_time.txt", "run1_conditions.tsv"}));
  // Faces: response times 0.5, n/a, 0.8, mean 0.65; temperatures 40, 42,
  // 44.5, mean 126.5 / 3 = 42.1666..., 42.166667. Houses: 0.7 and 0.6.
  EXPECT_EQ(first.files[3].bytes, "1\t2\t-0.15\n5\t2\t0\n7\t2\t0.15\n");
  EXPECT_EQ(first.files[4].bytes, "1\t2\t-2.166667\n5\t2\t-0.166667\n7\t2\t2.333333\n");
  EXPECT_EQ(first.files[5].bytes, "3\t2\t0.05\n9\t1\t-0.05\n");
  EXPECT_EQ(first.files.back().bytes,
            "file\tcondition\tevents\tleft_out_before_zero\tmodulator\n"
            "run1_cue.txt\tcue\t0\t1\tn/a\n"
            "run1_face.txt\tface\t3\t0\tn/a\n"
            "run1_house.txt\thouse\t2\t0\tn/a\n"
            "run1_face_response_time.txt\tface\t3\t0\tresponse_time\n"
            "run1_face_temperature.txt\tface\t3\t0\ttemperature\n"
            "run1_house_response_time.txt\thouse\t2\t0\tresponse_time\n");

  // Run 2's faces: 0.45 and 0.55 about 0.5; one temperature only, so none;
  // no house at all.
  const FslRunFiles second = fslRunFiles(runs[1], study, "run2", &modulators, 1);
  EXPECT_EQ(second.files[3].bytes, "2\t2\t-0.05\n4\t2\t0.05\n");
  EXPECT_EQ(second.files[4].bytes, "0\t0\t0\n");
  EXPECT_EQ(second.files[5].bytes, "0\t0\t0\n");

  EXPECT_EQ(modulators.warnings,
            (std::vector<std::string>{
                "run1.log: condition \"face\", modulator response_time: 1 of 3 events have no value and take the "
                "mean of the others, 0.65",
                "run1.log: condition \"house\", modulator temperature: every event has the value 41, so centred it "
                "would be all zeros: there is no modulator",
                "run2.log: condition \"cue\", modulator response_time: no event has a value, so there is no modulator",
                "run2.log: condition \"cue\", modulator temperature: no event has a value, so there is no modulator",
                "run2.log: condition \"face\", modulator temperature: every event has the value 43, so centred it "
                "would be all zeros: there is no modulator",
            }));
}

TEST(Modulators, AfniMarriesRawValuesOverAllRunsWithTheMeanForTheMissing) {
  const std::vector<RunEvents> runs = studyRuns();
  const StudyConditions study = studyConditions(runs);
  const AfniModulators modulators = afniModulators(runs, kSources, study, kAsked);
  const AfniFiles files = afniFiles(runs, study, "study", &modulators);
  EXPECT_EQ(namesOf(files.files),
            (std::vector<std::string>{"study_cue.1D", "study_face.1D", "study_house.1D", "study_face_AM.1D",
                                      "study_house_AM.1D", "study_conditions.tsv"}));
  EXPECT_EQ(files.files[1].bytes, "1:2 5:2 7:2\n2:2 4:2\n") << "the plain file as without modulators";
  // Faces over both runs: response times 0.5, n/a, 0.8, 0.45, 0.55, mean
  // 2.3 / 4 = 0.575; temperatures 40, 42, 44.5, 43, n/a, mean 169.5 / 4 = 42.375.
  EXPECT_EQ(files.files[3].bytes, "1*0.5,40:2 5*0.575,42:2 7*0.8,44.5:2\n2*0.45,43:2 4*0.55,42.375:2\n");
  // Houses: one temperature only, so response times alone; no house in run 2.
  EXPECT_EQ(files.files[4].bytes, "3*0.7:2 9*0.6:1\n*\n");
  EXPECT_EQ(files.files.back().bytes,
            "file\tcondition\tevents\tleft_out_before_zero\tevents_per_run\tmodulators\n"
            "study_cue.1D\tcue\t1\t1\t0 1\tn/a\n"
            "study_face.1D\tface\t5\t0\t3 2\tn/a\n"
            "study_house.1D\thouse\t2\t0\t2 0\tn/a\n"
            "study_face_AM.1D\tface\t5\t0\t3 2\tresponse_time,temperature\n"
            "study_house_AM.1D\thouse\t2\t0\t2 0\tresponse_time\n");
  EXPECT_EQ(modulators.warnings,
            (std::vector<std::string>{
                "all runs: condition \"cue\", modulator response_time: no event has a value, so there is no modulator",
                "all runs: condition \"cue\", modulator temperature: no event has a value, so there is no modulator",
                "all runs: condition \"face\", modulator response_time: 1 of 5 events have no value and take the "
                "mean of the others, 0.575",
                "all runs: condition \"face\", modulator temperature: 1 of 5 events have no value and take the mean "
                "of the others, 42.375",
                "all runs: condition \"house\", modulator temperature: every event has the value 41, so centred it "
                "would be all zeros: there is no modulator",
            }));

  // A run of a single event keeps the trailing " *" in the married form.
  std::vector<RunEvents> single = {
      runOf({pulse("100000"), picture("face", "110000", "5000")}),
      runOf({pulse("100000"), picture("face", "120000"), picture("face", "140000", "5000")})};
  single[0].columns = {columnOf("response_time", true, {"0.4"})};
  single[1].columns = {columnOf("response_time", true, {"0.6", ""})};
  const StudyConditions singleStudy = studyConditions(single);
  const AfniModulators singleModulators = afniModulators(single, kSources, singleStudy, {"response_time"});
  const AfniFiles singleFiles = afniFiles(single, singleStudy, "s", &singleModulators);
  ASSERT_EQ(namesOf(singleFiles.files), (std::vector<std::string>{"s_face.1D", "s_face_AM.1D", "s_conditions.tsv"}));
  EXPECT_EQ(singleFiles.files[1].bytes, "1*0.4:0.5 *\n2*0.6:2 4*0.5:0.5\n");
}

// What scipy reads from these bytes.
nlohmann::json scipyReads(const std::string& bytes) {
  testing::TempDir dir;
  return testing::scipyReads(dir, bytes);
}

// pmod, as scipy reads it: per condition, each modulator's name and values.
std::vector<std::vector<std::pair<std::string, std::vector<std::string>>>> pmodOf(const nlohmann::json& read) {
  std::vector<std::vector<std::pair<std::string, std::vector<std::string>>>> conditions;
  for (std::size_t c = 0; c < read["pmod"].size(); ++c) {
    const nlohmann::json& element = read["pmod"][c];
    conditions.emplace_back();
    for (std::size_t k = 0; k < element["name"]["elements"].size(); ++k) {
      const nlohmann::json& param = element["param"]["elements"][k];
      EXPECT_EQ(param["shape"], nlohmann::json({read["onsets"][c]["values"].size(), 1})) << "one value per onset";
      EXPECT_EQ(element["poly"]["elements"][k]["values"], nlohmann::json({"1.0"}));
      conditions.back().emplace_back(element["name"]["elements"][k]["text"], param["values"]);
    }
  }
  return conditions;
}

TEST(Modulators, SpmGivesRawValuesOfEachRunsConditionWithEventsBeforeZero) {
  const std::vector<RunEvents> runs = studyRuns();
  const StudyConditions study = studyConditions(runs);
  using Pmod = std::vector<std::vector<std::pair<std::string, std::vector<std::string>>>>;

  const SpmModulators first = spmModulators(runs[0], "run1.log", kAsked);
  const nlohmann::json one = scipyReads(spmRunFile(runs[0], study, "run1", &first).file.bytes);
  EXPECT_EQ(one["pmod_fields"], nlohmann::json({"name", "param", "poly"}));
  // The cue before zero is kept, alone: a single value is no modulator.
  EXPECT_EQ(pmodOf(one), (Pmod{{},
                               {{"response_time", {"0.5", "0.65", "0.8"}}, {"temperature", {"40.0", "42.0", "44.5"}}},
                               {{"response_time", {"0.7", "0.6"}}}}));
  EXPECT_EQ(one["pmod"][0]["name"]["shape"], nlohmann::json({0, 0}));
  EXPECT_EQ(first.warnings[0],
            "run1.log: condition \"cue\", modulator response_time: its one event has the value 0.9, so centred it "
            "would be all zeros: there is no modulator");

  const SpmModulators second = spmModulators(runs[1], "run2.log", kAsked);
  const nlohmann::json two = scipyReads(spmRunFile(runs[1], study, "run2", &second).file.bytes);
  EXPECT_EQ(pmodOf(two), (Pmod{{}, {{"response_time", {"0.45", "0.55"}}}})) << "cue, face; no house";
  EXPECT_FALSE(scipyReads(spmRunFile(runs[1], study, "run2").file.bytes).contains("pmod"));
}

TEST(Modulators, NamesMustBeNumericColumnsThatTheEventsCarry) {
  std::vector<RunEvents> runs = studyRuns();
  runs[1].columns.push_back(columnOf("rating", true, {"", "", ""}));  // carried by no exported event
  EXPECT_EQ(modulatorNames(runs), (std::vector<std::string>{"response_time", "temperature"}));
  const std::string offer = "; the export offers response_time, temperature";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"temperature", "response_time"}, ""},
      {{"temp"}, "the modulator temp: no exported event carries a value of that name" + offer},
      {{"response"}, "the modulator response is a text column, not a number" + offer},
      {{"rating"}, "the modulator rating: no exported event carries a value of that name" + offer},
      {{"temperature", "temperature"}, "the modulator temperature is asked for twice"},
  };
  for (const auto& [names, refusal] : cases) EXPECT_EQ(modulatorRefusal(runs, names), refusal);
  EXPECT_EQ(modulatorRefusal({runOf({pulse("1000")})}, {"response_time"}),
            "the modulator response_time: no exported event carries a value of that name; the exported events carry "
            "no numeric column");
}

}  // namespace
}  // namespace stimloom
