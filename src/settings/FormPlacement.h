#pragma once

// The window-placement store of one window: under SettingsRootKey + Subkey ("Window" for the
// main window, "Wizard" for the setup wizard) it keeps where the window stood, and puts the
// window back there each time it is shown. Only the position is restored, never the size or the
// show state.
//
// Values, all strings:
//   "Flags"          2 when the window is minimised and returns to maximised, else 0
//   "ShowCmd"        1 normal, 2 minimised, 3 maximised; also 2 for the main window saved while
//                    the application is minimised (see SetApplicationMinimized)
//   "PixelsPerInch"  the screen's logical dots per inch when saved
//   "MinMaxPos"      "-1,-1,-1,-1": minimised and maximised positions; the window manager owns
//                    them here, so they are never set
//   "NormPos"        "left,top,right,bottom" of the window's frame in its normal state, in screen
//                    coordinates, right and bottom exclusive
//   "Visible"        "0" when saved on an allowed close, "1" when saved as the window is destroyed
//
// The window moves to the top-left of "NormPos" when shown if "NormPos" exists, the stored
// "PixelsPerInch" equals the screen's current value and enough of the window would be on a
// screen; otherwise it keeps its designed position. "Flags" and "MinMaxPos" are kept for the
// hive's sake but not applied: here the window manager decides where minimised and maximised
// windows go.

#include "platform/registry/Registry.h"

#include <QObject>
#include <QRect>
#include <QString>
#include <functional>

class QWidget;

class TFormPlacement : public QObject {
    Q_OBJECT

public:
    // Becomes a child of Form and watches it. Registry must outlive this store.
    TFormPlacement(QWidget* form, TRegistry& registry, const QString& subkey);
    // Saves with "Visible" "1", from the last position seen; failures are dropped here.
    ~TFormPlacement() override;

    // Saves the position as on an allowed close ("Visible" "0"). Throws ERegistryException
    // "Failed to create key %s" or "Failed to set data for '%s'".
    void Save();

    // For the main window: tells whether the application counts as minimised (hidden to the
    // tray), asked by Save.
    void SetApplicationMinimized(std::function<bool()> isMinimized);

    // Moves the window to its stored position when the rule above allows; true when it did.
    // Runs by itself whenever the window is shown; never throws.
    bool Restore();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Capture();
    void Write(bool destroying);

    QWidget* Form;
    TRegistry& Registry;
    std::string Key;
    QRect NormalFrame;
    int ShowCmd = 1;
    int Flags = 0;
    int PixelsPerInch = 96;
    std::function<bool()> ApplicationMinimized;
};
