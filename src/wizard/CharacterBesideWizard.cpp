#include "wizard/CharacterBesideWizard.h"

#include "agent/AgentControl.h"
#include "platform/Display.h"
#include "speech/uAgentMessage.h"
#include "wizard/CharacterPlacement.h"
#include "wizard/UnitWizard.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

QWidget* VisibleWizard() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<TFormWizard*>(window) != nullptr && window->isVisible())
            return window;
    }
    return nullptr;
}

QRect CoveredRect(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    if (frame != window->geometry() || window->isFullScreen())
        return frame;
    // A title bar and borders as most window managers draw them.
    return frame.adjusted(-4, -32, 4, 4);
}

void AgentSpeakBesideWizard(TAgentControl& control, const QString& characterId, const QString& text,
                            QWidget* anchor, bool hide) {
    const QWidget* wizard = VisibleWizard();
    if (wizard == nullptr) {
        AgentSpeakAt(control, characterId, text, anchor, hide);
        return;
    }
    TAgentCharacter& character = control.Characters().Item(characterId);
    const QRect desktop = platform::VirtualDesktopRect();
    const QSize size(character.Width(), character.Height());
    TAgentPlacement placement =
        AgentPlacement(size.width(), size.height(), AnchorRect(anchor), desktop);
    const QSize balloon = control.Options().Balloon ? character.BalloonLargestSize() : QSize();
    const QRect screen =
        wizard->screen() != nullptr ? wizard->screen()->availableGeometry() : desktop;
    placement.Position =
        PlaceClearOfWindow(placement.Position, size, balloon, CoveredRect(wizard), screen, desktop);
    AgentSpeakFrom(character, placement, text, hide);
}
