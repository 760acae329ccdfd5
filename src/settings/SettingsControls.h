#pragma once

// What the settings load and save talk to: the controls (and the one process-wide flag) that hold
// the options between start and close, addressed by the value names of SettingsTable. The main
// window implements it. Setting a value behaves as a user's change: the control's change handler
// runs when the value differs from the current one. Integer controls hold their rows' ranges.
//
// String values are the stored bytes. A control shows them decoded (StoredText.h) and gives the
// very same bytes back until the user changes its text.

#include <QString>
#include <string>

class ISettingsControls {
public:
    virtual ~ISettingsControls() = default;

    virtual void SetBoolean(const QString& name, bool value) = 0;
    virtual void SetInteger(const QString& name, int value) = 0;
    virtual void SetString(const QString& name, const std::string& bytes) = 0;

    virtual bool GetBoolean(const QString& name) const = 0;
    // Whole numbers: a fractional control gives its whole part.
    virtual int GetInteger(const QString& name) const = 0;
    virtual std::string GetString(const QString& name) const = 0;
};
