// The design check's pure parts on values: NIfTI headers as bytes, the
// grid's rules, the quantiles, and the event findings at their edges. The
// figures and the whole command are checked against numpy, nibabel and
// chromium in tests/check_study_test.py.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "design/check_report.h"
#include "design/design_matrix.h"
#include "design/nifti_header.h"
#include "design/study_check.h"

namespace stimloom {
namespace {

// ---- NIfTI headers --------------------------------------------------------------

// A header's bytes laid out by hand at the format's offsets.
class HeaderBytes {
 public:
  HeaderBytes(int version, bool bigEndian) : bytes_(version == 1 ? 348 : 540, '\0'), big_(bigEndian) {
    put<std::int32_t>(0, version == 1 ? 348 : 540);
    if (version == 1) {
      std::memcpy(bytes_.data() + 344, "n+1\0", 4);
    } else {
      std::memcpy(bytes_.data() + 4, "n+2\0\r\n\032\n", 8);
    }
    version_ = version;
  }
  template <typename T>
  void put(std::size_t offset, T value) {
    std::array<char, sizeof(T)> raw{};
    std::memcpy(raw.data(), &value, sizeof(T));
    if (big_ != (std::endian::native == std::endian::big)) std::reverse(raw.begin(), raw.end());
    std::memcpy(bytes_.data() + offset, raw.data(), sizeof(T));
  }
  HeaderBytes& dims(std::vector<std::int64_t> dims) {
    for (std::size_t i = 0; i < dims.size(); ++i) {
      if (version_ == 1) {
        put<std::int16_t>(40 + 2 * i, static_cast<std::int16_t>(dims[i]));
      } else {
        put<std::int64_t>(16 + 8 * i, dims[i]);
      }
    }
    return *this;
  }
  HeaderBytes& tr(double value, int units) {
    if (version_ == 1) {
      put<float>(76 + 16, static_cast<float>(value));
      bytes_[123] = static_cast<char>(units);
    } else {
      put<double>(104 + 32, value);
      put<std::int32_t>(500, units);
    }
    return *this;
  }
  std::string bytes() const { return bytes_; }

 private:
  std::string bytes_;
  bool big_;
  int version_ = 1;
};

TEST(NiftiHeader, ReadsVolumesAndTimeInBothVersionsAndByteOrders) {
  for (const int version : {1, 2}) {
    for (const bool big : {false, true}) {
      SCOPED_TRACE("NIfTI-" + std::to_string(version) + (big ? " big-endian" : " little-endian"));
      std::string error;
      const auto header = parseNiftiHeader(HeaderBytes(version, big).dims({4, 64, 64, 30, 240}).tr(1.5, 2 | 8).bytes(),
                                           "bold.nii", error);
      ASSERT_TRUE(header) << error;
      EXPECT_EQ(header->version, version);
      EXPECT_EQ(header->bigEndian, big);
      EXPECT_EQ(header->volumes(), 240);
      EXPECT_EQ(header->repetitionSeconds(), 1.5);
      EXPECT_EQ(header->timeUnit(), "s");
    }
  }
}

TEST(NiftiHeader, ConvertsTheTimeUnitAndRefusesOneThatIsNoTime) {
  const struct {
    int units;
    double pixdim;
    std::optional<double> seconds;
    const char* unit;
  } cases[] = {{16, 2000, 2.0, "ms"},       {24, 800000, 0.8, "us"},   {0, 2, 2.0, "unset"},
               {32, 2, std::nullopt, "Hz"}, {8, 0, std::nullopt, "s"}, {8, -2, std::nullopt, "s"}};
  for (const auto& c : cases) {
    std::string error;
    const auto header =
        parseNiftiHeader(HeaderBytes(1, false).dims({4, 2, 2, 2, 10}).tr(c.pixdim, c.units).bytes(), "bold.nii", error);
    ASSERT_TRUE(header) << error;
    EXPECT_EQ(header->timeUnit(), c.unit);
    if (c.seconds) {
      ASSERT_TRUE(header->repetitionSeconds());
      EXPECT_NEAR(*header->repetitionSeconds(), *c.seconds, 1e-12) << c.unit;
    } else {
      EXPECT_FALSE(header->repetitionSeconds()) << c.unit << " " << c.pixdim;
    }
  }
}

TEST(NiftiHeader, RefusesWhatIsNoBoldSeriesNamingTheFile) {
  std::string wrongMagic = HeaderBytes(1, false).dims({4, 2, 2, 2, 10}).bytes();
  wrongMagic[345] = 'x';
  const struct {
    std::string bytes;
    const char* says;
  } cases[] = {
      {"", "is not a NIfTI image"},
      {std::string(348, 'a'), "is not a NIfTI image"},
      {wrongMagic, "no NIfTI-1 magic"},
      {HeaderBytes(1, false).dims({4, 2, 2, 2, 10}).bytes().substr(0, 300), "is truncated"},
      {HeaderBytes(2, true).dims({4, 2, 2, 2, 10}).bytes().substr(0, 400), "is truncated"},
      {HeaderBytes(1, false).dims({3, 2, 2, 2}).bytes(), "3 dimensions"},
      {HeaderBytes(2, false).dims({4, 2, 2, 2, 0}).bytes(), "0 volumes"},
      {HeaderBytes(1, true).dims({9, 2, 2, 2, 2}).bytes(), "at most 7"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(parseNiftiHeader(c.bytes, "sub-01_bold.nii.gz", error));
    EXPECT_TRUE(error.starts_with("sub-01_bold.nii.gz: ")) << error;
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
}

// ---- The grid ---------------------------------------------------------------------

using Bins = std::pair<std::int64_t, std::int64_t>;

TEST(DesignGrid, AnEventFillsFromItsOnsetsBinToTheLastItReaches) {
  const double dt = 0.125;  // TR 2 s
  EXPECT_EQ(eventBins(1.0, 0.5, dt), Bins(8, 11));
  EXPECT_EQ(eventBins(1.01, 0.5, dt), Bins(8, 12));  // ceil(12.08) - 1
  EXPECT_EQ(eventBins(1.0, 0.0, dt), Bins(8, 8));    // at least its bin
  EXPECT_EQ(eventBins(-0.3, 0.5, dt), Bins(-3, 1));
}

TEST(DesignGrid, TheResponseSumsToOneAndPeaksNearFiveSeconds) {
  const std::vector<double> h = sampledResponse(0.125);
  ASSERT_EQ(h.size(), 257u);  // t = 0 .. 32 s
  EXPECT_NEAR(std::accumulate(h.begin(), h.end(), 0.0), 1.0, 1e-12);
  EXPECT_EQ(h.front(), 0.0);
  const auto peak = static_cast<std::size_t>(std::max_element(h.begin(), h.end()) - h.begin());
  EXPECT_EQ(peak, 40u);                                   // t^5 e^-t peaks at t = 5
  EXPECT_LT(*std::min_element(h.begin(), h.end()), 0.0);  // the undershoot
}

TEST(DesignGrid, ConditionsWithoutABinInTheScanGetNoColumn) {
  const DesignMatrix x = designMatrix({{1, 3.0, 1.0}, {0, 5.0, 1.0}, {2, -4.0, 1.0}, {3, 40.0, 1.0}},
                                      {"late", "early", "before", "after"}, {2.0, 20, 128});
  EXPECT_EQ(x.conditions, (std::vector<std::string>{"early", "late"}));  // by first onset, not by name's place
  EXPECT_EQ(x.outsideTheScan, (std::vector<std::string>{"before", "after"}));
  EXPECT_EQ(x.drifts, 0u);  // floor(2 * 20 * 2 / 128)
  EXPECT_EQ(x.columns(), 3u);
}

// ---- Quantiles and figures' texts -------------------------------------------------

TEST(Responses, QuantilesInterpolateAsNumpysDefault) {
  // numpy.quantile([1, 2, 3, 4], [0.25, 0.5, 0.75]) -> 1.75, 2.5, 3.25
  EXPECT_DOUBLE_EQ(linearQuantile({1, 2, 3, 4}, 0.25), 1.75);
  EXPECT_DOUBLE_EQ(linearQuantile({1, 2, 3, 4}, 0.5), 2.5);
  EXPECT_DOUBLE_EQ(linearQuantile({1, 2, 3, 4}, 0.75), 3.25);
  EXPECT_DOUBLE_EQ(linearQuantile({0.4}, 0.25), 0.4);
  EXPECT_EQ(significantText(5.123456789), "5.123457");
  EXPECT_EQ(significantText(0.012345), "0.01234500");
  EXPECT_EQ(significantText(INFINITY), "inf");
}

// ---- Findings on values ------------------------------------------------------------

// A run timed from zero 0, its events "condition onset duration" in seconds.
CheckRun run(const std::string& source, const std::vector<std::string>& conditions,
             const std::vector<std::tuple<std::uint32_t, double, double>>& events) {
  CheckRun input;
  input.source = source;
  input.events.conditions = conditions;
  for (const auto& [condition, onset, duration] : events) {
    RunEvent event;
    event.time = std::round(onset * 10000);
    event.durationFrom = event.time;
    event.durationTo = event.time + std::round(duration * 10000);
    event.condition = condition;
    input.events.events.push_back(event);
  }
  return input;
}

std::vector<std::string> lines(const StudyCheck& check) {
  std::vector<std::string> all;
  for (const Finding& finding : check.findings) all.push_back(findingLine(finding));
  return all;
}

TEST(Findings, DuplicatesAreNotOverlapsAndStemsDoNotOverlap) {
  const StudyCheck check =
      checkStudy({run("a.log", {"x", "y"}, {{0, 1, 2}, {0, 1, 2}, {0, 2, 1}, {1, 5, 0}, {1, 5, 0}, {1, 5, 1}})}, {});
  const std::vector<std::string> expected = {
      "a.log: error: \"x\": 1 exact duplicate (the same onset and duration as an earlier event), the first at 1 s",
      "a.log: error: \"y\": 1 exact duplicate (the same onset and duration as an earlier event), the first at 5 s",
      "a.log: warning: \"x\": 1 event begins before an earlier event of the condition ends, the first at 2 s",
      "a.log: note: the design is not modelled: no TR: give --tr, a BOLD image with --bold, or a log with pulses"};
  EXPECT_EQ(lines(check), expected);  // y's 1 s event at 5 s begins as the stems end: no overlap
  EXPECT_TRUE(check.hasErrors());
}

TEST(Findings, LockedPhasesWrapAroundTheTrAndSpanRuns) {
  CheckOptions options;
  options.tr = 2;
  // Phases 0.98 and 0.03 of the TR lie 5% apart across the wrap; z's do not.
  const StudyCheck check = checkStudy(
      {run("r1.log", {"x", "z"}, {{0, 1.96, 1}, {1, 3, 1}, {1, 6.6, 1}}), run("r2.log", {"x"}, {{0, 10.06, 1}})},
      options);
  const auto all = lines(check);
  EXPECT_NE(std::find(all.begin(), all.end(),
                      "r1.log: note: \"x\" is locked to the TR: its 2 onsets in r1.log, r2.log all come 98% of a TR "
                      "after a volume begins, within 5% of a TR, so the response is sampled at one phase only"),
            all.end())
      << ::testing::PrintToString(all);
  EXPECT_NE(std::find(all.begin(), all.end(),
                      "r2.log: note: \"z\" has no event in this run; it is missing from r2.log (1 of 2 runs)"),
            all.end());
  for (const std::string& line : all) EXPECT_EQ(line.find("\"z\" is locked"), std::string::npos) << line;
}

TEST(Report, EscapesNamesAndKeepsEachTimelinesClipPathItsOwn) {
  CheckOptions options;
  options.tr = 2;
  std::vector<CheckRun> runs = {run("a<b>.log", {"x & \"y\""}, {{0, 1, 1}}), run("c.log", {"x & \"y\""}, {{0, 1, 1}})};
  const std::string page = checkReportHtml(runs, checkStudy(runs, options), options);
  EXPECT_NE(page.find("a&lt;b&gt;.log"), std::string::npos);
  EXPECT_EQ(page.find("a<b>"), std::string::npos);
  EXPECT_NE(page.find("x &amp; &quot;y&quot;"), std::string::npos);
  EXPECT_NE(page.find("id=\"run1-label-column\""), std::string::npos);
  EXPECT_NE(page.find("url(#run2-label-column)"), std::string::npos);
  EXPECT_EQ(page.find("<?xml"), std::string::npos);
}

}  // namespace
}  // namespace stimloom
