#include "host/records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/standin_fixture.h"

namespace stimloom {
namespace {

TEST(Records, FileNameOf260CharactersFillsItsFieldExactly) {
  ProtocolRecord record;
  std::memset(record.ExperimentName, 'x', sizeof record.ExperimentName);
  const std::string name(260, 'n');
  ASSERT_TRUE(writeText(record.FileName, name));
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  EXPECT_EQ(bytes[4 + 259], 'n');
  EXPECT_EQ(bytes[4 + 260], '\0');
  EXPECT_EQ(bytes[265], 'x');  // ExperimentName starts right behind, untouched
  ASSERT_TRUE(writeExperimentName(record, "run1"));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 265)), "run1");
  EXPECT_EQ(readText(record.FileName), name);
}

TEST(Records, TextThatDoesNotFitIsRefusedAndTheFieldKept) {
  ConditionRecord record;
  ASSERT_TRUE(writeText(record.Name, "kept"));
  EXPECT_FALSE(writeText(record.Name, std::string(256, 'c')));
  EXPECT_EQ(readText(record.Name), "kept");
  EXPECT_TRUE(writeText(record.Name, std::string(255, 'c')));
  EXPECT_FALSE(writeText(record.Name, std::string_view("a\0b", 3)));

  ProtocolRecord header;
  EXPECT_FALSE(writeText(header.FileName, std::string(261, 'f')));
  EXPECT_FALSE(writeExperimentName(header, std::string(256, 'e')));
  EXPECT_TRUE(writeExperimentName(header, std::string(255, 'e')));
  EXPECT_EQ(header.TimeResolution, 0);
}

TEST(Records, ReadTextStopsAtTheFieldEndWhenUnterminated) {
  ConditionRecord record;
  std::memset(record.Name, 'z', sizeof record.Name);
  record.NrOfIntervals = 0x41414141;
  EXPECT_EQ(readText(record.Name).size(), 256u);
}

class RecordsThroughHost : public testing::StandinTest {};

TEST_F(RecordsThroughHost, WritesThroughIntervalPointersReachTheHostsStorage) {
  testing::TempDir dir;
  ConditionRecord added;
  ASSERT_TRUE(writeText(added.Name, "A"));
  added.Colour = 7;
  session().addProtocolCondition(added);
  session().addProtocolConditionInterval(0, 1000, 3000);
  session().addProtocolConditionInterval(0, 4000, 5000);

  ConditionRecord condition;
  session().getProtocolCondition(0, condition);
  ASSERT_EQ(condition.NrOfIntervals, 2);
  ASSERT_NE(condition.IntervalStarts.get(), nullptr);
  condition.IntervalStarts.get()[1] = 4100;
  condition.IntervalEnds.get()[0] = 2900;

  const std::string path = dir.file("edited.prt");
  session().saveProtocol(path.c_str());
  const std::string saved = testing::readFile(path);
  EXPECT_NE(saved.find("\n1000 2900\n4100 5000\n"), std::string::npos) << saved;
}

TEST(HostPointer, CarriesAnAddressThatFitsAndRefusesOneThatDoesNot) {
  HostPointer<std::int32_t> pointer;
  EXPECT_EQ(pointer.get(), nullptr);
  if constexpr (sizeof(void*) > 4) {
    auto* high = reinterpret_cast<std::int32_t*>(std::uintptr_t{1} << 40);
    EXPECT_FALSE(pointer.set(high));
    EXPECT_EQ(pointer.get(), nullptr);
    auto* low = reinterpret_cast<std::int32_t*>(std::uintptr_t{0x10000});
    EXPECT_TRUE(pointer.set(low));
    EXPECT_EQ(pointer.get(), low);
  }
}

}  // namespace
}  // namespace stimloom
