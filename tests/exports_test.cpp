// The built plug-in library, loaded as the host loads it.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "plugin/plugin_interface.h"
#include "standin/plugin_library.h"

namespace {

class PluginExports : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { library_ = new standin::PluginLibrary(STIMLOOM_PLUGIN_PATH); }
  static void TearDownTestSuite() {
    delete library_;
    library_ = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(library_->loaded()) << library_->error(); }
  const standin::PluginEntryPoints& entry() { return library_->entryPoints(); }
  void* symbol(const char* name) { return library_->symbol(name); }

  static standin::PluginLibrary* library_;
};
standin::PluginLibrary* PluginExports::library_ = nullptr;

// The host calls execute through its table: nothing thrown may reach it.
static_assert(noexcept(std::declval<Stimloom&>().execute()));

TEST_F(PluginExports, TextQueriesReturnTheLibrarysConstantTexts) {
  EXPECT_STREQ(entry().getPluginName(), "stimloom (v0.8.7)");
  EXPECT_STREQ(entry().getPluginDescription(),
               "~~~ stimloom (v0.8.7) ~~~<BR>Generates a Mirovane ZR Protocol file (*.prt) in milliseconds from a "
               "Presentation Log file (*.log).<BR>Each Picture, Sound, Video or Response event will result in a new "
               "condition.<BR>It is also possible to shift the offset of all intervals by a certain amount (in "
               "milliseconds).<BR>Version: 0.8.7");
  const std::string author = entry().getAuthor();
  EXPECT_EQ(author.rfind("<i>", 0), 0u);
  EXPECT_EQ(author.substr(author.size() - 4), "</i>");
  EXPECT_EQ(author.find('\n'), std::string::npos);
  for (auto query : {entry().getHelpFile, entry().getRegistrationOfGenericComponentLoader}) {
    const char* text = query();
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
  }
}

TEST_F(PluginExports, TextQueriesReturnTheSamePointerBeforeAndAfterCreatingPlugins) {
  const char* name = entry().getPluginName();
  const char* description = entry().getPluginDescription();
  MNZRPluginInterface* plugin = entry().createPlugin();
  EXPECT_EQ(entry().getPluginName(), name);
  EXPECT_EQ(entry().getPluginDescription(), description);
  standin::destroyPlugin(plugin);
}

TEST_F(PluginExports, EachCreatePluginGivesAnIndependentAvailableObject) {
  MNZRPluginInterface* first = entry().createPlugin();
  MNZRPluginInterface* second = entry().createPlugin();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_TRUE(first->isAvailable());
  EXPECT_TRUE(second->isAvailable());
  standin::destroyPlugin(first);
  standin::destroyPlugin(second);
}

// The host calls by slot: compare each slot of the object's table with the
// library's exported member functions.
TEST_F(PluginExports, VirtualTableSlotsAreInTheHostsOrder) {
  MNZRPluginInterface* plugin = entry().createPlugin();
  ASSERT_NE(plugin, nullptr);
  void* const* table = nullptr;
  std::memcpy(&table, plugin, sizeof table);
  EXPECT_EQ(table[0], symbol("_ZN8Stimloom7executeEv"));
  EXPECT_EQ(table[1], symbol("_ZNK8Stimloom11isAvailableEv"));
  EXPECT_EQ(table[2], symbol("_ZN8StimloomD1Ev"));
  EXPECT_EQ(table[3], symbol("_ZN8StimloomD0Ev"));
  EXPECT_NE(table[0], nullptr);
  // Calling slot 1 through the interface pointer answers isAvailable.
  const MNZRPluginInterface* asInterface = plugin;
  EXPECT_TRUE(asInterface->isAvailable());
  // Slot 3 is the deleting destructor: it frees the object (the sanitizers would see a leak or a double free).
  using DeletingDestructor = void (*)(void*);
  DeletingDestructor destroy = nullptr;
  std::memcpy(&destroy, &table[3], sizeof destroy);
  destroy(plugin);
}

TEST_F(PluginExports, TheInterfacesTableHoldsItsTwoPureSlots) {
  auto* interfaceTable = static_cast<void* const*>(symbol("_ZTV19MNZRPluginInterface"));
  ASSERT_NE(interfaceTable, nullptr);
  // Itanium layout: offset-to-top, type information, then the slots.
  void* pureVirtual = dlsym(RTLD_DEFAULT, "__cxa_pure_virtual");
  EXPECT_EQ(interfaceTable[2], pureVirtual);
  EXPECT_EQ(interfaceTable[3], pureVirtual);
}

}  // namespace
