#pragma once
// The character beside the setup wizard: the speech host's AgentSpeakAt for a time when the
// wizard is on the screen and must stay readable.
//
// With no wizard shown it is AgentSpeakAt itself. While a wizard is shown, the character goes
// where AgentSpeakAt would put it when that leaves the wizard and the character's balloon clear
// of each other, and otherwise beside the wizard (PlaceClearOfWindow); it still points at its
// anchor. Throws what AgentSpeakAt throws (EAgentError from the component) and nothing else.
// Window thread only.
#include <QRect>
#include <QString>

class QWidget;
class TAgentControl;

void AgentSpeakBesideWizard(TAgentControl& control, const QString& characterId, const QString& text,
                            QWidget* anchor, bool hide);

// The setup wizard on the screen, or null.
QWidget* VisibleWizard();

// The screen rectangle a window covers, frame included. Before the window manager has framed a
// window that has just been shown, its client rectangle with room for a usual frame.
QRect CoveredRect(const QWidget* window);
