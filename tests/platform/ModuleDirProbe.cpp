// Prints the folder this program takes its modules from, then whether the sound module loaded
// from there; the module test runs copies of it from places inside and outside the build tree.
#include "platform/ProgramModule.h"

#include <cstdio>
#include <stdexcept>

int main() {
    std::printf("%s\n", platform::ModuleDir().c_str());
    try {
        platform::ModuleSymbol("talvoro_sounds", "NoSuchEntry");
    } catch (const std::runtime_error&) {
        // Loaded or not, ModuleLoaded says which.
    }
    std::printf("%s\n", platform::ModuleLoaded("talvoro_sounds") ? "loaded" : "not loaded");
    return 0;
}
