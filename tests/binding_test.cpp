#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "host/host_functions.h"
#include "host/session.h"
#include "tests/standin_fixture.h"

namespace stimloom {
namespace {

void fakeExport() {}
void otherFakeExport() {}

// A process seen through a map: module file names to the exports they hold.
class FakeLookup final : public ModuleLookup {
 public:
  std::map<std::string, std::map<std::string, HostSymbol>> modules;
  mutable std::vector<std::string> lookedUp;

  const void* findModule(const char* fileName) const override {
    const auto found = modules.find(fileName);
    return found == modules.end() ? nullptr : &found->second;
  }
  HostSymbol findSymbol(const void* module, const char* exportName) const override {
    lookedUp.emplace_back(exportName);
    const auto& exports = *static_cast<const std::map<std::string, HostSymbol>*>(module);
    const auto found = exports.find(exportName);
    return found == exports.end() ? nullptr : found->second;
  }
};

class Binding : public ::testing::Test {
 protected:
  void SetUp() override { table.zrLogText = reinterpret_cast<decltype(table.zrLogText)>(&otherFakeExport); }
  // Marked, so that a failed binding can be seen to leave it as it was.
  HostFunctionTable table;
};

TEST_F(Binding, WithoutTheHostModuleFailsAndLooksNothingUp) {
  FakeLookup lookup;
  lookup.modules["OtherHost.exe"][kHostVersionFunction] = &fakeExport;
  const HostFunctionTable before = table;
  EXPECT_FALSE(bindHostFunctions(lookup, table));
  EXPECT_TRUE(lookup.lookedUp.empty());
  EXPECT_EQ(table, before);
}

TEST_F(Binding, WithoutTheVersionFunctionFailsAndLeavesTheTable) {
  FakeLookup lookup;
  lookup.modules[kHostModuleName]["zrLogText"] = &fakeExport;
  lookup.modules[kHostModuleName]["zrgetversionofmirovanezr"] = &fakeExport;  // names match exactly
  const HostFunctionTable before = table;
  EXPECT_FALSE(bindHostFunctions(lookup, table));
  EXPECT_EQ(table, before);
  EXPECT_EQ(lookup.lookedUp, std::vector<std::string>{kHostVersionFunction});
}

TEST_F(Binding, WithOnlyTheVersionFunctionSucceedsWithEveryOtherEntryNull) {
  FakeLookup lookup;
  lookup.modules[kHostModuleName][kHostVersionFunction] = &fakeExport;
  ASSERT_TRUE(bindHostFunctions(lookup, table));
  HostFunctionTable expected;
  expected.zrGetVersionOfMirovaneZR = reinterpret_cast<decltype(expected.zrGetVersionOfMirovaneZR)>(&fakeExport);
  EXPECT_EQ(table, expected);
  // Every name is resolved once, in the list's order, the version function first.
  ASSERT_EQ(lookup.lookedUp.size(), kHostFunctionCount);
  for (std::size_t i = 0; i < kHostFunctionCount; ++i) EXPECT_EQ(lookup.lookedUp[i], kHostFunctionNames[i]);
}

TEST_F(Binding, BindingTwiceGivesTheSameTable) {
  FakeLookup lookup;
  for (const std::string_view name : kHostFunctionNames)
    lookup.modules[kHostModuleName][std::string(name)] = &fakeExport;
  lookup.modules[kHostModuleName]["zrSaveProtocol"] = &otherFakeExport;
  ASSERT_TRUE(bindHostFunctions(lookup, table));
  const HostFunctionTable first = table;
  ASSERT_TRUE(bindHostFunctions(lookup, table));
  EXPECT_EQ(table, first);
  EXPECT_EQ(reinterpret_cast<void (*)()>(first.zrSaveProtocol), &otherFakeExport);
}

TEST_F(Binding, ThePlatformLookupFindsEveryExportOfTheStandinHost) {
  ASSERT_TRUE(bindHostFunctions(platformModuleLookup(), table));
  for (std::size_t i = 0; i < kHostFunctionCount; ++i) {
    EXPECT_TRUE(offers(table, static_cast<HostFunction>(i))) << kHostFunctionNames[i];
  }
}

TEST_F(Binding, ThePlatformLookupFindsNoModuleByAnotherName) {
  const ModuleLookup& lookup = platformModuleLookup();
  EXPECT_EQ(lookup.findModule("mirovanezr.exe"), nullptr);
  EXPECT_EQ(lookup.findModule("MirovaneZR"), nullptr);
  const void* module = lookup.findModule(kHostModuleName);
  ASSERT_NE(module, nullptr);
  EXPECT_NE(lookup.findSymbol(module, "zrLogText"), nullptr);
  // An export of another module (here the C library) is not the host's.
  EXPECT_EQ(lookup.findSymbol(module, "printf"), nullptr);
}

class MissingEntries : public testing::StandinTest {};

TEST_F(MissingEntries, EveryMissingFunctionIsNamedOnItsOwnLineAndNothingIsCalled) {
  hide({"zrSaveProtocol", "zrGetProtocol"});
  EXPECT_FALSE(session().require(
      {HostFunction::zrGetProtocol, HostFunction::zrGetProtocolCondition, HostFunction::zrSaveProtocol},
      "shift the intervals"));
  EXPECT_EQ(callNames(), (std::vector<std::string>{"zrLogText", "zrLogText"}));
  EXPECT_EQ(logPane(), (std::vector<std::string>{
                           "The host does not offer zrGetProtocol: cannot shift the intervals. Nothing was changed.",
                           "The host does not offer zrSaveProtocol: cannot shift the intervals. Nothing was changed.",
                       }));
  EXPECT_TRUE(session().require({HostFunction::zrGetProtocolCondition}, "shift the intervals"));
}

TEST_F(MissingEntries, ACallTheHostDoesNotOfferIsSkippedAndAnswersAsCancelled) {
  hide({"zrLogText", "zrGetIntegerInput", "zrYesNoMessageBox", "zrGetTextInput", "zrGetOpenFileName",
        "zrGetCurrentVMR"});
  session().line("nobody sees this");
  EXPECT_EQ(session().integerInput("How many?", 5, 1, 9), 0);
  EXPECT_FALSE(session().yesNo("Sure?"));
  EXPECT_EQ(session().textInput("Which?", "1,2"), "");
  DialogText path{};
  EXPECT_FALSE(session().openFileName("Which file?", "", "*.log", path));
  EXPECT_FALSE(session().vmrOpen());
  EXPECT_TRUE(host().calls.empty());
}

}  // namespace
}  // namespace stimloom
