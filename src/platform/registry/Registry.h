#pragma once

// The registry as the program sees it: a tree of keys below the current user's hive, each key
// holding named, typed values. Callers open one key, use it and close it again; nothing stays open
// between uses.
//
// Key paths use backslashes. A path that starts with "\" counts from the hive's root; any other
// path counts from the key that is open (from the root when none is). Key and value names compare
// without regard to ASCII case, as on Windows, and keep the case they were created with.
//
// String data are 8-bit texts: any byte value, including zero, is kept as given. Text that the
// program handles is UTF-8.
//
// Throws ERegistryException with a message meant for the user; the texts below are the ones the
// program shows.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "Failed to create key %s"
ERegistryException FailedToCreateKey(const std::string& key);
// "Failed to set data for '%s'"
ERegistryException FailedToSetData(const std::string& valueName);
// "Invalid data type for '%s'"
ERegistryException InvalidDataType(const std::string& valueName);
// Error with ": " and Cause after its text, when there is a cause.
ERegistryException WithCause(const ERegistryException& error, const std::string& cause);

// Value types, numbered as Windows numbers them (the hive file writes them as hex(N)).
enum TRegType : std::uint32_t {
    RegNone = 0,
    RegSz = 1,
    RegExpandSz = 2,
    RegBinary = 3,
    RegDword = 4,
    RegMultiSz = 7,
    RegQword = 11,
};

struct TRegValue {
    std::uint32_t Type = RegSz;
    // For the two string types the text itself (no terminating zero); for every other type the
    // raw data bytes in the order the system stores them (a DWORD is four bytes, low byte first).
    std::string Data;

    bool IsString() const { return Type == RegSz || Type == RegExpandSz; }
};

class TRegistry {
public:
    virtual ~TRegistry() = default;

    // Makes Key the open key. With CanCreate a missing key is created (with its missing parents)
    // and stored at once; returns false when the key is missing and may not be created, or when
    // it cannot be created. Opening a key first closes the one that is open, so it throws what
    // CloseKey throws.
    virtual bool OpenKey(const std::string& key, bool canCreate) = 0;

    // Stores the values written since the key was opened and closes it. Throws
    // ERegistryException "Failed to set data for '%s'" (naming the first unsaved value), followed
    // by ": " and the cause in plain words ("the disk is full"), when they cannot be stored; the
    // key is closed and those writes are lost then. Harmless without an open key.
    virtual void CloseKey() = 0;

    // Why the last store failed, in plain words ("the disk is full"); empty when it is not known.
    virtual std::string FailureCause() const { return {}; }

    virtual bool KeyExists(const std::string& key) = 0;
    virtual bool ValueExists(const std::string& name) = 0;

    // The value Name of the open key; nothing when it or the open key is missing.
    virtual std::optional<TRegValue> ReadValue(const std::string& name) = 0;

    // Sets Name in the open key to a string value; stored at the latest by CloseKey. Throws
    // ERegistryException "Failed to set data for '%s'" when no key is open.
    virtual void WriteString(const std::string& name, const std::string& text) = 0;

    // Removes Name from the open key and stores the change at once. False when there was no such
    // value or the change could not be stored.
    virtual bool DeleteValue(const std::string& name) = 0;

    // When the stored hive could not be read (so the program runs on defaults), a message for the
    // user saying so and where the unreadable file was kept; empty otherwise. Reported once.
    virtual std::string TakeHiveError() = 0;

    // Removes what saves interrupted by a kill or a crash left behind (they may hold the
    // scrambled password). Once at start, by the copy that holds the instance lock.
    virtual void RemoveInterruptedSaves() {}
};
