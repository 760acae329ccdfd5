#pragma once

// Replacing a file so that a crash or a kill at any moment leaves either the old or the new
// content, never a mixture: the data go to a temporary file in the same folder, are flushed to
// the disk, and the temporary file is renamed over the target. A target that is a symbolic link
// has the file it points to replaced.

#include <string>
#include <sys/types.h>

// Writes Bytes as Path with the permission bits Mode. Throws std::system_error on failure; the
// old file is then untouched and no temporary file is left behind.
void WriteFileAtomically(const std::string& path, const std::string& bytes, mode_t mode);

// Creates Path and its missing parents with Mode (0700: a user's configuration is private).
// Throws std::system_error on failure.
void MakeFolders(const std::string& path, mode_t mode = 0700);

// Removes the temporary files that writes of Path interrupted by a kill or a crash left behind,
// whatever their age. Only for a moment when no other process writes Path (at start, under the
// instance lock).
void RemoveInterruptedWrites(const std::string& path);
