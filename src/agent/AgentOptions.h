#pragma once
// The component's own options, those the property sheet edits: which engine
// speaks (the built-in voice or the desktop speech service), the built-in
// voice, speed, pitch, volume and whether the balloon is shown. They belong to the component,
// not to the program, and live in their own small file, agent.conf in the
// program's configuration folder, as "Name=value" lines. Unknown lines are
// ignored and values out of range are brought to the nearest bound, so a
// damaged file never stops the character from speaking.
#include "agent/CharacterFile.h"
#include "agent/SpeechEngine.h"

#include <QString>

struct TAgentOptions {
    // "Engine=builtin" or "Engine=desktop" in the file.
    TSpeechVoice Engine = TSpeechVoice::BuiltIn;
    QString Voice;       // an espeak-ng voice; empty means the character's own
    int Speed = 100;     // percent of the character's own rate, 50..200
    int Pitch = 0;       // added to the character's own pitch, -50..50
    int Volume = 100;    // percent, 0..100
    bool Balloon = true; // show the word balloon

    bool operator==(const TAgentOptions&) const = default;

    static QString DefaultPath();
    // A missing or unreadable file gives the defaults.
    static TAgentOptions Load(const QString& path = DefaultPath());
    // Returns false when the file cannot be written.
    bool Save(const QString& path = DefaultPath()) const;

    static TAgentOptions Parse(const QString& text);
    QString Format() const;

    // The synthesiser settings for a character with these options applied.
    TSpeechSettings SpeechFor(const TCharacterVoice& voice) const;
};
