#include "protocol/reorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/operations.h"
#include "tests/standin_fixture.h"

namespace stimloom {
namespace {

using standin::Answer;

const std::string kHeaderLine = "Please enter the new order for the conditions, separated by comma's:\n";
const std::string kExampleLine = "\nExample: 3,4,5,1,6,2,7\n";

standin::StoredCondition condition(std::string name, std::int32_t colour,
                                   const std::vector<std::pair<std::int32_t, std::int32_t>>& intervals = {}) {
  return testing::storedCondition(std::move(name), colour, intervals);
}

class Reorder : public testing::StandinTest {
 protected:
  testing::TempDir dir;
  const std::string path = dir.file("flanker.prt");
  std::string fileBefore;

  // A protocol with every header field set, saved to its file, as the host
  // holds it when the user asks to sort.
  void useProtocol(std::vector<standin::StoredCondition> conditions) {
    standin::Protocol& protocol = host().protocol;
    protocol = {};
    protocol.fileName = path;
    protocol.experimentName = "flanker";
    protocol.timeResolution = 2;
    protocol.colour1 = 1;
    protocol.colour2 = 0x3F000BB8;
    protocol.colour3 = 0x3F000FA0;
    protocol.penThickness1 = 2;
    protocol.colour4 = 0x3F0007D0;
    protocol.penThickness2 = 3;
    protocol.conditions = std::move(conditions);
    session().saveProtocol(path.c_str());
    fileBefore = testing::readFile(path);
    host().calls.clear();
  }
  void useABC() {
    useProtocol({condition("A", 11, {{0, 100}, {200, 300}}), condition("B", 22), condition("C", 33, {{50, 60}})});
  }
  void useCount(std::int32_t count) {
    std::vector<standin::StoredCondition> conditions;
    for (std::int32_t i = 0; i < count; ++i) conditions.push_back(condition("c" + std::to_string(i + 1), i));
    useProtocol(std::move(conditions));
  }
  bool reorder(std::initializer_list<Answer> answers, HostSession* in = nullptr) {
    answer(answers);
    ProtocolRecord record;  // as the caller hands it over: filled by zrGetProtocol
    session().getProtocol(record);
    host().calls.clear();
    return in != nullptr ? reorderConditions(*in, record) : reorderConditions(record);
  }
  const standin::HostCall* textInput() {
    for (const auto& call : host().calls)
      if (call.function == "zrGetTextInput") return &call;
    return nullptr;
  }
  standin::Protocol saved() {
    standin::Protocol protocol;
    std::string error;
    EXPECT_TRUE(standin::loadProtocolFile(path, protocol, error)) << error;
    return protocol;
  }
  standin::Protocol withOrder(const standin::Protocol& original, std::vector<std::size_t> order) {
    standin::Protocol expected = original;
    expected.conditions.clear();
    for (const std::size_t index : order) expected.conditions.push_back(original.conditions[index]);
    return expected;
  }
};

TEST_F(Reorder, PromptListsTheConditionsOnePerLineNumberedFromOne) {
  useABC();
  EXPECT_FALSE(reorder({Answer::takeDefault()}));
  const standin::HostCall* input = textInput();
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(input->arguments, (std::vector<std::string>{kHeaderLine + "1 = A\n2 = B\n3 = C" + kExampleLine, "1,2,3"}));
  EXPECT_EQ(logPane(), std::vector<std::string>{"The new order is the current order. Nothing was changed."});
  EXPECT_EQ(callNames().size(), 5u) << "three conditions read, one question, one line";
  EXPECT_EQ(testing::readFile(path), fileBefore);
}

TEST_F(Reorder, DefaultAnswerIsTheCurrentOrderOfTheProtocolsOwnConditions) {
  struct Case {
    std::int32_t count;
    std::string defaultAnswer;
  };
  std::string longest;  // 254 characters: the most conditions whose order fits the answer
  for (int i = 1; i <= 88; ++i) longest += (i > 1 ? "," : "") + std::to_string(i);
  const Case cases[] = {{0, ""}, {2, "1,2"}, {10, "1,2,3,4,5,6,7,8,9,10"}, {88, longest}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    standin::resetHost();
    useCount(c.count);
    EXPECT_FALSE(reorder({Answer::takeDefault()}));
    const standin::HostCall* input = textInput();
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->arguments.at(1), c.defaultAnswer);
    const std::vector<std::string> names = callNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "zrGetProtocolCondition"), c.count);
    EXPECT_EQ(testing::readFile(path), fileBefore);
  }

  // No conditions: the prompt is the two fixed lines, and nothing is sorted.
  standin::resetHost();
  useCount(0);
  EXPECT_FALSE(reorder({Answer::of("1")}));
  ASSERT_NE(textInput(), nullptr);
  EXPECT_EQ(textInput()->arguments.at(0), kHeaderLine + kExampleLine);
  EXPECT_EQ(logPane(), std::vector<std::string>{"The protocol has no conditions to sort. Nothing was changed."});
}

TEST_F(Reorder, TooManyConditionsForAnyAnswerAreNotAsked) {
  useCount(89);
  EXPECT_FALSE(reorder({}));
  EXPECT_EQ(callNames(), std::vector<std::string>{"zrLogText"});
  EXPECT_EQ(logPane(), std::vector<std::string>{"The protocol has 89 conditions: an order of more than 88 does not "
                                                "fit the 255 characters of the answer. Nothing was changed."});
}

TEST_F(Reorder, RefusedAnswerChangesNothingAndSaysWhy) {
  struct Case {
    Answer answer;
    std::string problem;
  };
  const Case cases[] = {
      {Answer::of(""), "the answer is empty"},
      {Answer::cancel(), "the answer is empty"},
      {Answer::of("1,x,3"), "\"x\" is not a number"},
      {Answer::of("0,1,2"), "0 is not one of the condition numbers 1 to 3"},
      {Answer::of("1,2,4"), "4 is not one of the condition numbers 1 to 3"},
      {Answer::of("1,2,2"), "2 is given twice"},
      {Answer::of("3,1"), "condition 2 is missing"},
      {Answer::of("3,1,2,1"), "it gives more numbers (4) than the protocol has conditions (3)"},
      {Answer::of("3,2,1,"), "place 4 holds no number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.problem);
    standin::resetHost();
    useABC();
    const standin::Protocol inMemory = host().protocol;
    EXPECT_FALSE(reorder({c.answer}));
    EXPECT_EQ(logPane(),
              std::vector<std::string>{"The conditions were not sorted: " + c.problem + ". Nothing was changed."});
    EXPECT_EQ(callNames(), (std::vector<std::string>{"zrGetProtocolCondition", "zrGetProtocolCondition",
                                                     "zrGetProtocolCondition", "zrGetTextInput", "zrLogText"}));
    EXPECT_EQ(host().protocol, inMemory);
    EXPECT_EQ(testing::readFile(path), fileBefore);
  }
}

TEST_F(Reorder, NewOrderIsAppliedInTheHostAndSavedWithEverythingKept) {
  useABC();
  const standin::Protocol original = host().protocol;
  ASSERT_TRUE(reorder({Answer::of("3, 1 ,2")}));

  EXPECT_EQ(callNames(),
            (std::vector<std::string>{
                "zrGetProtocolCondition", "zrGetProtocolCondition", "zrGetProtocolCondition", "zrGetTextInput",
                "zrClearProtocol", "zrAddProtocolCondition", "zrAddProtocolCondition", "zrAddProtocolCondition",
                "zrAddProtocolConditionInterval", "zrAddProtocolConditionInterval", "zrAddProtocolConditionInterval",
                "zrSetProtocol", "zrSaveProtocol", "zrLogText", "zrLogText", "zrLogText", "zrLogText"}));
  EXPECT_EQ(logPane(), (std::vector<std::string>{"Moved condition C from place 3 to place 1",
                                                 "Moved condition A from place 1 to place 2",
                                                 "Moved condition B from place 2 to place 3",
                                                 "Saved the protocol with its conditions in the new order: " + path}));
  const standin::Protocol expected = withOrder(original, {2, 0, 1});
  EXPECT_EQ(host().protocol, expected);
  EXPECT_EQ(saved(), expected);
}

TEST_F(Reorder, LongestNamesAreListedAndKeptWhole) {
  const std::string first(255, 'a');
  const std::string second(255, 'b');
  useProtocol({condition(first, 1, {{1, 2}}), condition(second, 2, {{3, 4}})});
  const standin::Protocol original = host().protocol;
  ASSERT_TRUE(reorder({Answer::of("2,1")}));
  EXPECT_EQ(textInput()->arguments.at(0), kHeaderLine + "1 = " + first + "\n2 = " + second + kExampleLine);
  EXPECT_EQ(saved(), withOrder(original, {1, 0}));
}

// A host that does not report a condition's colour.
decltype(HostFunctionTable::zrGetProtocolCondition) hostsGetCondition = nullptr;
void getConditionWithoutColour(std::int32_t index, ConditionRecord* condition) {
  hostsGetCondition(index, condition);
  condition->Colour = 0;
}

TEST_F(Reorder, HostThatLeavesColoursOutStillKeepsNamesAndIntervals) {
  useABC();
  standin::Protocol expected = withOrder(host().protocol, {1, 2, 0});
  for (auto& stored : expected.conditions) stored.colour = 0;
  HostFunctionTable withoutColours = session().functions();
  hostsGetCondition = withoutColours.zrGetProtocolCondition;
  withoutColours.zrGetProtocolCondition = &getConditionWithoutColour;
  HostSession colourless(withoutColours, records, files());
  ASSERT_TRUE(reorder({Answer::of("2,3,1")}, &colourless));
  EXPECT_EQ(saved(), expected);
}

TEST_F(Reorder, WithoutTheHostsClearStartsNothing) {
  useABC();
  hide({"zrClearProtocol"});
  EXPECT_FALSE(reorder({}));
  EXPECT_EQ(callNames(), std::vector<std::string>{"zrLogText"});
  EXPECT_EQ(logPane(),
            std::vector<std::string>{
                "The host does not offer zrClearProtocol: cannot sort the conditions. Nothing was changed."});
}

}  // namespace
}  // namespace stimloom
