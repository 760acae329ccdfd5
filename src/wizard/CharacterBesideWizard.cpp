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
    std::optional<QRect> anchorRect;
    if (anchor != nullptr)
        anchorRect = QRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    const QRect desktop = platform::VirtualDesktopRect();
    const QSize size(character.Width(), character.Height());
    const TAgentPlacement usual = AgentPlacement(size.width(), size.height(), anchorRect, desktop);
    const QSize balloon = control.Options().Balloon ? character.BalloonLargestSize() : QSize();
    const QRect screen =
        wizard->screen() != nullptr ? wizard->screen()->availableGeometry() : desktop;
    const QPoint place =
        PlaceClearOfWindow(usual.Position, size, balloon, CoveredRect(wizard), screen, desktop);
    // The same requests as AgentSpeakAt, from the place found here.
    character.MoveTo(qint16(place.x()), qint16(place.y()), 1);
    character.Show(false);
    if (usual.Gesture)
        character.GestureAt(qint16(usual.Gesture->x()), qint16(usual.Gesture->y()));
    character.Speak(text, QString());
    if (hide)
        character.Hide(false);
}
