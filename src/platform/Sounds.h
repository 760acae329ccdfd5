#pragma once
// The system's event sounds, by the numeric types the program uses:
// 0 is the default sound (played for new mail), 64 the asterisk sound
// (played after some diagnostic lines).
//
// Sounds come from the desktop's sound theme through libcanberra, which lives
// in the program module talvoro_sounds and is loaded when the first sound is
// due, so a program that never plays one never maps it. Without a sound
// device, or without the module, sounds are silently skipped. With
// TALVORO_SOUND_LOG naming a file, every request is also appended there as
// "MessageBeep <type>", so a test can see which sounds were asked for. Safe to
// call from any thread; nothing here throws.
namespace platform {

constexpr unsigned MB_OK = 0;
constexpr unsigned MB_ICONASTERISK = 64;

// The program module that plays the sounds.
constexpr const char* SoundModuleName = "talvoro_sounds";

void MessageBeep(unsigned type);

} // namespace platform
