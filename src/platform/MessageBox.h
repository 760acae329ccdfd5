#pragma once
// The system's standard message boxes, with the program's captions:
// "Information", "Error", "Confirm", and the application title for the
// default error report.
//
// With TALVORO_HEADLESS_DIALOGS=1 no window is shown: caption and text go to
// standard error and the default button is the answer, so the program can be
// driven without a person. Tests may install a hook that answers instead.
#include <QString>
#include <functional>

class QWidget;

namespace platform {

enum class TMsgDlgType { Warning, Error, Information, Confirmation };

// Button sets, as flags. mbDefaultNo makes No the default answer of a Yes/No box (for a question
// whose Yes would weaken a safeguard).
enum TMsgDlgButton : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8, mbDefaultNo = 16 };

enum class TModalResult { None, OK, Cancel, Yes, No };

// The caption a box of this type carries.
QString CaptionFor(TMsgDlgType type);

// Shows a modal box and returns the button pressed; closing the box counts
// as Cancel, or No, or OK, whichever of them the box has.
TModalResult MessageDlg(const QString& text, TMsgDlgType type, unsigned buttons,
                        QWidget* parent = nullptr);

// The framework's default error report: an error box captioned with the
// application title ("Talvoro").
void ShowErrorReport(const QString& text);

// A box with the given caption and icon type; the general form of the above.
TModalResult ShowMessageBox(const QString& caption, const QString& text, TMsgDlgType type,
                            unsigned buttons, QWidget* parent = nullptr);

// Test hook: when set, every box is answered by the hook and nothing is shown.
using TMessageBoxHook = std::function<TModalResult(const QString& caption, const QString& text,
                                                   TMsgDlgType type, unsigned buttons)>;
void SetMessageBoxHook(TMessageBoxHook hook);

} // namespace platform
