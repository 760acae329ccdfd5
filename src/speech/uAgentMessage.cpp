#include "speech/uAgentMessage.h"

#include "agent/AgentControl.h"
#include "platform/Display.h"

#include <QDir>
#include <QWidget>

namespace {

bool HasCharacterFile(const QString& directory) {
    // Entries of any kind except directories count, hidden and system ones included.
    return !QDir(directory)
                .entryList({QStringLiteral("*.acs")}, QDir::Files | QDir::Hidden | QDir::System)
                .isEmpty();
}

} // namespace

bool IsAgentInstalled() {
    return HasCharacterFile(QDir::currentPath()) || HasCharacterFile(TAgentControl::CharacterDir());
}

TAgentPlacement AgentPlacement(int width, int height, const std::optional<QRect>& anchor,
                               const QRect& desktop) {
    TAgentPlacement placement;
    if (!anchor) {
        placement.Position =
            QPoint(desktop.width() / 2 - width / 2, desktop.height() / 2 - height / 2);
        return placement;
    }
    const int left = anchor->left();
    const int top = anchor->top();
    placement.Gesture = QPoint(left + anchor->width() / 2, top + anchor->height() / 2);
    QPoint p(left - width, top - height / 3);
    if (p.x() < desktop.left())
        p.setX(desktop.left());
    if (p.y() < desktop.top())
        p.setY(desktop.top());
    placement.Position = p;
    return placement;
}

std::optional<QRect> AnchorRect(const QWidget* anchor) {
    if (anchor == nullptr)
        return std::nullopt;
    return QRect(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
}

void AgentSpeakAt(TAgentControl& control, const QString& characterId, const QString& text,
                  QWidget* anchor, bool hide) {
    TAgentCharacter& character = control.Characters().Item(characterId);
    AgentSpeakFrom(character,
                   AgentPlacement(character.Width(), character.Height(), AnchorRect(anchor),
                                  platform::VirtualDesktopRect()),
                   text, hide);
}

void AgentSpeakFrom(TAgentCharacter& character, const TAgentPlacement& placement,
                    const QString& text, bool hide) {
    character.MoveTo(qint16(placement.Position.x()), qint16(placement.Position.y()), 1);
    character.Show(false);
    if (placement.Gesture)
        character.GestureAt(qint16(placement.Gesture->x()), qint16(placement.Gesture->y()));
    character.Speak(text, QString());
    if (hide)
        character.Hide(false);
}
