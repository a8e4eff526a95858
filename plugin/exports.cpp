#include "plugin/exports.h"

#include <new>

#include "stimloom_version.h"

namespace {

constexpr char kName[] = "stimloom (v" STIMLOOM_VERSION ")";
constexpr char kDescription[] =
    "~~~ stimloom (v" STIMLOOM_VERSION
    ") ~~~<BR>"
    "Generates a Mirovane ZR Protocol file (*.prt) in milliseconds from a Presentation Log file (*.log).<BR>"
    "Each Picture, Sound, Video or Response event will result in a new condition.<BR>"
    "It is also possible to shift the offset of all intervals by a certain amount (in milliseconds).<BR>"
    "Version: " STIMLOOM_VERSION;
constexpr char kAuthor[] = "<i>stimloom, written by the stimloom developers</i>";
constexpr char kEmpty[] = "";

}  // namespace

extern "C" {

MNZRPluginInterface* createPlugin() { return new (std::nothrow) Stimloom; }
const char* getPluginName() { return kName; }
const char* getPluginDescription() { return kDescription; }
const char* getAuthor() { return kAuthor; }
const char* getHelpFile() { return kEmpty; }
const char* getRegistrationOfGenericComponentLoader() { return kEmpty; }
}
