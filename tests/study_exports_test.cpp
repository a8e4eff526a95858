// The study-wide writers as values: condition file names, and the cases at
// the edges of each format's rules that a whole program run would not reach.

#include "export/study_exports.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/presentation_log.h"
#include "tests/study_runs.h"

namespace stimloom {
namespace {

using testing::picture;
using testing::pulse;
using testing::runOf;

std::vector<std::string> namesOf(const std::vector<ExportFile>& files) {
  std::vector<std::string> names;
  for (const ExportFile& file : files) names.push_back(file.name);
  return names;
}

TEST(ConditionFileNames, KeepSafeBytesAndNumberCollisionsLetterCaseIncluded) {
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
      {{"congruent", "in-congruent", "v1.2_x"}, {"congruent", "in-congruent", "v1.2_x"}},
      {{"a b", "a_b", "a/b"}, {"a_b", "a_b_2", "a_b_3"}},
      {{"target", "Target", "TARGET"}, {"target", "Target_2", "TARGET_3"}},
      // A name that looks like a numbered one is still numbered past it.
      {{"a b", "a_b_2", "a?b"}, {"a_b", "a_b_2", "a_b_3"}},
      {{"a b", "a?b", "a_b_2"}, {"a_b", "a_b_2", "a_b_2_2"}},
      {{"x", "x?"}, {"x", "x_"}},
      {{"caf\xC3\xA9", "caf\xC3\xA8"}, {"caf__", "caf___2"}},  // every byte of a UTF-8 character
      {{"../up", "a\\b:c*d\te"}, {".._up", "a_b_c_d_e"}},
      {{"Errors incongruent: 27"}, {"Errors_incongruent__27"}},
      {{}, {}},
  };
  for (const auto& [names, fileNames] : cases) {
    EXPECT_EQ(conditionFileNames(names), fileNames) << ::testing::PrintToString(names);
  }
}

TEST(StudyConditions, AreTheUnionInOrderOfFirstAppearanceWithOnePlaceEach) {
  const std::vector<RunEvents> runs = {
      runOf({pulse("1000"), picture("b", "2000"), picture("a", "3000"), picture("b", "4000")}),
      runOf({pulse("1000"), picture("c", "2000"), picture("a", "3000")}),
  };
  const StudyConditions study = studyConditions(runs);
  EXPECT_EQ(study.names, (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(study.fileNames, study.names);
  for (std::size_t place = 0; place < study.names.size(); ++place)
    EXPECT_EQ(study.placeOf.at(study.names[place]), place);

  // A run that is not of the study is refused, never written with a wrong condition.
  const RunEvents stranger = runOf({pulse("1000"), picture("z", "2000")});
  EXPECT_THROW(fslRunFiles(stranger, study, "x"), std::out_of_range);
}

// The edges: an event at exactly zero is kept; a run with no events at all
// still gets every condition's file.
TEST(StudyFiles, AnEventAtZeroIsKeptAndARunWithoutEventsHasEveryFile) {
  const std::vector<RunEvents> runs = {
      runOf({pulse("10000"), picture("stop", "9999"), picture("go", "10000", "5000")}),
      runOf({pulse("10000")}),
  };
  const StudyConditions study = studyConditions(runs);
  ASSERT_EQ(study.names, (std::vector<std::string>{"stop", "go"}));

  const FslRunFiles first = fslRunFiles(runs[0], study, "r1");
  EXPECT_EQ(namesOf(first.files), (std::vector<std::string>{"r1_stop.txt", "r1_go.txt", "r1_conditions.tsv"}));
  EXPECT_EQ(first.files[0].bytes, "0\t0\t0\n") << "its one event is 0.1 ms before zero";
  EXPECT_EQ(first.files[1].bytes, "0\t0.5\t1\n");
  EXPECT_EQ(first.files[2].bytes,
            "file\tcondition\tevents\tleft_out_before_zero\nr1_stop.txt\tstop\t0\t1\nr1_go.txt\tgo\t1\t0\n");
  const FslRunFiles second = fslRunFiles(runs[1], study, "r2");
  EXPECT_EQ(namesOf(second.files), (std::vector<std::string>{"r2_stop.txt", "r2_go.txt", "r2_conditions.tsv"}));
  EXPECT_EQ(second.files[0].bytes, "0\t0\t0\n");
  EXPECT_EQ(second.files[1].bytes, "0\t0\t0\n");

  const AfniFiles afni = afniFiles(runs, study, "s");
  EXPECT_EQ(namesOf(afni.files), (std::vector<std::string>{"s_stop.1D", "s_go.1D", "s_conditions.tsv"}));
  EXPECT_EQ(afni.files[0].bytes, "*\n*\n");
  EXPECT_EQ(afni.files[1].bytes, "0:0.5 *\n*\n");
  EXPECT_EQ(afni.files[2].bytes,
            "file\tcondition\tevents\tleft_out_before_zero\tevents_per_run\n"
            "s_stop.1D\tstop\t0\t1\t0 0\n"
            "s_go.1D\tgo\t1\t0\t1 0\n");

  const SpmRunFile spm = spmRunFile(runs[0], study, "r1");
  EXPECT_EQ(spm.written, (std::vector<std::string>{"stop", "go"})) << "SPM keeps the event before zero";
  EXPECT_EQ(spm.beforeZero, 1u);
  const SpmRunFile empty = spmRunFile(runs[1], study, "r2");
  EXPECT_EQ(empty.file.name, "r2_conditions.mat");
  EXPECT_EQ(empty.written, std::vector<std::string>{});
  EXPECT_EQ(empty.leftOut, (std::vector<std::string>{"stop", "go"}));
}

TEST(StudyFiles, AStudyWithoutConditionsListsNoFile) {
  const std::vector<RunEvents> runs = {runOf({pulse("10000")})};
  const StudyConditions study = studyConditions(runs);
  EXPECT_EQ(namesOf(fslRunFiles(runs[0], study, "r").files), std::vector<std::string>{"r_conditions.tsv"});
  const AfniFiles afni = afniFiles(runs, study, "s");
  ASSERT_EQ(namesOf(afni.files), std::vector<std::string>{"s_conditions.tsv"});
  EXPECT_EQ(afni.files[0].bytes, "file\tcondition\tevents\tleft_out_before_zero\tevents_per_run\n");
}

// Condition names that a TSV cell cannot hold as they are: the list keeps
// its columns.
TEST(StudyFiles, TheListKeepsItsColumnsWhateverTheNames) {
  Protocol protocol;
  protocol.conditions = {{"with\ttab", 1, {{1000, 2000}}}, {"", 2, {{3000, 3500}}}};
  std::string error;
  const auto run = runEventsOfProtocol(protocol, {}, "run.prt", error);
  ASSERT_TRUE(run) << error;
  const std::vector<RunEvents> runs = {*run};
  const StudyConditions study = studyConditions(runs);
  const FslRunFiles files = fslRunFiles(*run, study, "p");
  EXPECT_EQ(namesOf(files.files), (std::vector<std::string>{"p_with_tab.txt", "p_.txt", "p_conditions.tsv"}));
  EXPECT_EQ(files.files[0].bytes, "1\t1\t1\n");
  EXPECT_EQ(files.files[2].bytes,
            "file\tcondition\tevents\tleft_out_before_zero\np_with_tab.txt\twith tab\t1\t0\np_.txt\tn/a\t1\t0\n");
}

}  // namespace
}  // namespace stimloom
