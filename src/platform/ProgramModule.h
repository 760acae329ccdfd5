#pragma once
// Program modules: parts of the program built as shared objects of their own
// and loaded at their first use, so that the libraries they bring in (TLS,
// MIME header decoding, speech, sound, the keyring) are mapped only once the
// program needs them, not by a program that sits idle in the tray.
//
// A module Name is the file lib<Name>.so in ModuleDir(). Its entry points are
// plain C functions (extern "C"); nothing but standard types and interfaces of
// pure virtual functions cross the boundary, and no exception leaves a module.
// Plain C++, no Qt.
#include <string>

namespace platform {

// $TALVORO_MODULE_DIR when set; otherwise <libdir>/talvoro beside an
// installed executable; otherwise, for a program run from the build tree it
// was built in, that tree's module folder; otherwise the installation's
// <libdir>/talvoro. A program outside its build tree never uses the build
// tree's folder, whether or not it exists; a folder beside the executable or
// in the build tree that is owned by another user (not root) or writable by
// everyone is passed over.
std::string ModuleDir();

// The address of Symbol in module Name, loading the module on the first call
// (once per process; thread-safe). Throws std::runtime_error, with the
// system's reason, when the module or the symbol cannot be found.
void* ModuleSymbol(const std::string& name, const char* symbol);

template <typename Function> Function ModuleFunction(const std::string& name, const char* symbol) {
    return reinterpret_cast<Function>(ModuleSymbol(name, symbol));
}

// Whether module Name is loaded already (for tests and footprint checks).
bool ModuleLoaded(const std::string& name);

} // namespace platform
