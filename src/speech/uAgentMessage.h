#pragma once
// The speech host's free routines: whether agent speech may be attempted, and
// placing the character beside a control (or mid-desktop) and having it speak.
//
// AgentSpeakAt catches nothing: an EAgentError from the component ends it at
// the failing call, with the requests already made left in the queue.
// Window thread only.
#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>

class QWidget;
class TAgentCharacter;
class TAgentControl;

// True when "*.acs" matches an entry that is not a directory, first in the
// process's current directory, then in the character folder
// (TAgentControl::CharacterDir()). Nothing else is examined.
bool IsAgentInstalled();

struct TAgentPlacement {
    QPoint Position;               // the character frame's top-left corner
    std::optional<QPoint> Gesture; // where to point; only with an anchor
};

// Where a character of width x height stands for an anchor's screen rectangle
// (or none) on a desktop: left of the anchor, its top a third of its height
// above the anchor's top, pulled back to the desktop's left and top edges only;
// without an anchor, centred on half the desktop's width and height, which are
// not offset by the desktop's own left and top. Integer arithmetic, division
// truncating toward zero.
TAgentPlacement AgentPlacement(int width, int height, const std::optional<QRect>& anchor,
                               const QRect& desktop);

// The anchor's rectangle on the screen; none without an anchor.
std::optional<QRect> AnchorRect(const QWidget* anchor);

// MoveTo the placement (speed 1), Show (not fast), GestureAt the anchor's
// centre (anchor only), Speak(text, ""), and Hide (not fast) when `hide`.
// Throws EAgentError (from the component) and nothing else.
void AgentSpeakAt(TAgentControl& control, const QString& characterId, const QString& text,
                  QWidget* anchor, bool hide);

// The same requests from a placement the caller found.
void AgentSpeakFrom(TAgentCharacter& character, const TAgentPlacement& placement,
                    const QString& text, bool hide);
