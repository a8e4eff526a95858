#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "host/host_calls.h"
#include "host/host_functions.h"
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
  void SetUp() override {
    saved_ = hostFunctions();
    HostFunctionTable marked;
    marked.zrLogText = reinterpret_cast<decltype(marked.zrLogText)>(&otherFakeExport);
    hostFunctions() = marked;
  }
  void TearDown() override { hostFunctions() = saved_; }

 private:
  HostFunctionTable saved_;
};

TEST_F(Binding, WithoutTheHostModuleFailsAndLooksNothingUp) {
  FakeLookup lookup;
  lookup.modules["OtherHost.exe"][kHostVersionFunction] = &fakeExport;
  const HostFunctionTable before = hostFunctions();
  EXPECT_FALSE(bindHostFunctions(lookup));
  EXPECT_TRUE(lookup.lookedUp.empty());
  EXPECT_EQ(hostFunctions(), before);
}

TEST_F(Binding, WithoutTheVersionFunctionFailsAndLeavesTheTable) {
  FakeLookup lookup;
  lookup.modules[kHostModuleName]["zrLogText"] = &fakeExport;
  lookup.modules[kHostModuleName]["zrgetversionofmirovanezr"] = &fakeExport;  // names match exactly
  const HostFunctionTable before = hostFunctions();
  EXPECT_FALSE(bindHostFunctions(lookup));
  EXPECT_EQ(hostFunctions(), before);
  EXPECT_EQ(lookup.lookedUp, std::vector<std::string>{kHostVersionFunction});
}

TEST_F(Binding, WithOnlyTheVersionFunctionSucceedsWithEveryOtherEntryNull) {
  FakeLookup lookup;
  lookup.modules[kHostModuleName][kHostVersionFunction] = &fakeExport;
  ASSERT_TRUE(bindHostFunctions(lookup));
  HostFunctionTable expected;
  expected.zrGetVersionOfMirovaneZR = reinterpret_cast<decltype(expected.zrGetVersionOfMirovaneZR)>(&fakeExport);
  EXPECT_EQ(hostFunctions(), expected);
  // Every name is resolved once, in the list's order, the version function first.
  ASSERT_EQ(lookup.lookedUp.size(), kHostFunctionCount);
  for (std::size_t i = 0; i < kHostFunctionCount; ++i) EXPECT_EQ(lookup.lookedUp[i], kHostFunctionNames[i]);
}

TEST_F(Binding, BindingTwiceGivesTheSameTable) {
  FakeLookup lookup;
  for (const std::string_view name : kHostFunctionNames)
    lookup.modules[kHostModuleName][std::string(name)] = &fakeExport;
  lookup.modules[kHostModuleName]["zrSaveProtocol"] = &otherFakeExport;
  ASSERT_TRUE(bindHostFunctions(lookup));
  const HostFunctionTable first = hostFunctions();
  ASSERT_TRUE(bindHostFunctions(lookup));
  EXPECT_EQ(hostFunctions(), first);
  EXPECT_EQ(reinterpret_cast<void (*)()>(first.zrSaveProtocol), &otherFakeExport);
}

TEST_F(Binding, ThePlatformLookupFindsEveryExportOfTheStandinHost) {
  ASSERT_TRUE(bindHostFunctions());
  for (std::size_t i = 0; i < kHostFunctionCount; ++i) {
    EXPECT_TRUE(isBound(static_cast<HostFunction>(i))) << kHostFunctionNames[i];
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

TEST_F(MissingEntries, AnOperationNeedingANullEntryLogsItAndCallsNothing) {
  hostFunctions().zrSaveProtocol = nullptr;
  EXPECT_FALSE(
      requireHostFunctions({HostFunction::zrGetProtocol, HostFunction::zrSaveProtocol}, "shift the intervals"));
  EXPECT_EQ(callNames(), std::vector<std::string>{"zrLogText"});
  EXPECT_EQ(logPane(), std::vector<std::string>{
                           "The host does not offer zrSaveProtocol: cannot shift the intervals. Nothing was changed."});
  EXPECT_TRUE(requireHostFunctions({HostFunction::zrGetProtocol}, "shift the intervals"));
}

TEST_F(MissingEntries, LoggingWithoutTheLogFunctionIsSkipped) {
  hostFunctions().zrLogText = nullptr;
  logLine("nobody sees this");
  logFormat("nor %s", "this");
  EXPECT_TRUE(host().calls.empty());
}

TEST(HostCalls, FormatTextFollowsPrintfWithoutLimit) {
  EXPECT_EQ(formatText("Trial: %d, code: %s, duration: %15.0lf", 3, "tone1", 500.0),
            "Trial: 3, code: tone1, duration:             500");
  const std::string longCode(5000, 'c');
  EXPECT_EQ(formatText("%s!", longCode.c_str()).size(), 5001u);
}

}  // namespace
}  // namespace stimloom
