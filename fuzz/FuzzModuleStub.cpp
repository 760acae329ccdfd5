// The fuzz targets are single programs: a program module's code is linked in and instrumented
// with the rest, and "loading" a module hands out its entry points from the program itself. A
// module a target does not link in (TLS) is reported missing, as on a system without it.
#include "platform/ProgramModule.h"

#include <cstring>
#include <stdexcept>
#include <string>

extern "C" __attribute__((weak)) bool TalvoroHeaderDecodeText(const char* Raw, std::size_t Length,
                                                              std::string* Out,
                                                              std::string* Error) noexcept;

namespace platform {

std::string ModuleDir() {
    return "(linked in)";
}

void* ModuleSymbol(const std::string& name, const char* symbol) {
    if (name == "talvoro_headerdecode" && std::strcmp(symbol, "TalvoroHeaderDecodeText") == 0 &&
        &TalvoroHeaderDecodeText != nullptr)
        return reinterpret_cast<void*>(&TalvoroHeaderDecodeText);
    throw std::runtime_error("no module " + name + " in a fuzz target");
}

bool ModuleLoaded(const std::string&) {
    return true;
}

} // namespace platform
