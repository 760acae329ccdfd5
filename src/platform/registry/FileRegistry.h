#pragma once

// The current user's hive kept in one file in the registry-export format (see RegDocument.h),
// by default <config>/talvoro/registry.reg (<config> is $XDG_CONFIG_HOME, default ~/.config).
//
// The file is read when a key is opened and written when the changes made under it are stored:
// at CloseKey, at the next OpenKey, at once for a created key or a deleted value. Every write
// replaces the whole file atomically (a kill never leaves a broken file), with mode 0600 because
// it holds the scrambled password, in a folder created with mode 0700.
//
// A hive file that cannot be parsed, or is larger than MaxHiveFileBytes, is never overwritten:
// it is renamed beside itself to "<file>.corrupt-<yyyyMMdd-hhmmss>", the program continues with
// an empty hive (its defaults) and TakeHiveError reports it once, saying where the old file is
// kept. A file that cannot even be read or moved aside, or that is no regular file (a named pipe,
// a device: it is never waited on), is left alone: reads then see an empty hive and every write
// fails. A failed write says its cause after the registry's text: "Failed to set data for 'X': the
// disk is full".
//
// One object serves one thread (the window thread); several objects may share a hive file, since
// each change is applied to a fresh reading of the file.

#include "platform/registry/RegDocument.h"
#include "platform/registry/Registry.h"

#include <optional>
#include <string>
#include <system_error>
#include <vector>

class TFileRegistry : public TRegistry {
public:
    TFileRegistry();
    explicit TFileRegistry(std::string hivePath);
    // Closes the open key, storing what it can; failures are dropped here.
    ~TFileRegistry() override;

    TFileRegistry(const TFileRegistry&) = delete;
    TFileRegistry& operator=(const TFileRegistry&) = delete;

    static std::string DefaultHivePath();
    const std::string& HivePath() const { return HiveFile; }

    bool OpenKey(const std::string& key, bool canCreate) override;
    void CloseKey() override;
    bool KeyExists(const std::string& key) override;
    bool ValueExists(const std::string& name) override;
    std::optional<TRegValue> ReadValue(const std::string& name) override;
    void WriteString(const std::string& name, const std::string& text) override;
    bool DeleteValue(const std::string& name) override;
    std::string FailureCause() const override { return LastFailureCause; }
    std::string TakeHiveError() override;
    void RemoveInterruptedSaves() override;

private:
    struct TChange {
        std::string Path;
        std::string Name;
        std::string Text;
        bool Delete = false;
    };

    TRegDocument Load();
    void Store(const TRegDocument& document);
    // Writes the pending changes over a fresh reading of the file; throws std::system_error.
    void Flush();
    std::string Resolve(const std::string& key) const;
    // Blocks writes; Message is said once (TakeHiveError), Cause with every failed store.
    void ReportUnreadable(const std::string& message, const std::string& cause);
    // Keeps the cause of a failed store for FailureCause.
    void NoteFailure(const std::system_error& error);

    std::string HiveFile;
    std::optional<std::string> OpenPath;
    TRegDocument Document; // the file as read at OpenKey, with this key's changes applied
    std::vector<TChange> Pending;
    bool Blocked = false; // the file can neither be read nor moved aside
    std::string BlockedCause;
    std::string HiveError;
    std::string LastFailureCause;
};
