#pragma once
// The system's event sounds, by the numeric types the program uses:
// 0 is the default sound (played for new mail), 64 the asterisk sound
// (played after some diagnostic lines).
//
// Sounds come from the desktop's sound theme through libcanberra; without a
// sound device they are silently skipped. With TALVORO_SOUND_LOG naming a
// file, every request is also appended there as "MessageBeep <type>", so a
// test can see which sounds were asked for.
namespace platform {

constexpr unsigned MB_OK = 0;
constexpr unsigned MB_ICONASTERISK = 64;

void MessageBeep(unsigned type);

} // namespace platform
