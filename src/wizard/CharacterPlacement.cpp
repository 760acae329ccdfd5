#include "wizard/CharacterPlacement.h"

#include <algorithm>

namespace {

// Between the window's frame and the character or its balloon.
constexpr int Gap = 8;
// How far the balloon reaches down over the character's head (its tail).
constexpr int BalloonOverlap = 4;

} // namespace

QRect BalloonRect(const QRect& character, const QSize& balloon, const QRect& desktop) {
    if (balloon.isEmpty())
        return {};
    int x = character.center().x() - balloon.width() / 2;
    int y = character.top() - balloon.height() + BalloonOverlap;
    if (!desktop.isEmpty()) {
        if (y < desktop.top())
            y = character.bottom() - BalloonOverlap;
        x = std::clamp(x, desktop.left(),
                       std::max(desktop.left(), desktop.right() - balloon.width()));
    }
    return QRect(QPoint(x, y), balloon);
}

QPoint PlaceClearOfWindow(const QPoint& usual, const QSize& character, const QSize& balloon,
                          const QRect& window, const QRect& screen, const QRect& desktop) {
    const auto covers = [&](const QPoint& place) {
        const QRect frame(place, character);
        return frame.intersects(window) || BalloonRect(frame, balloon, desktop).intersects(window);
    };
    if (!covers(usual))
        return usual;

    // The character and its balloon take a column as wide as the wider of the two, the balloon
    // centred over the character.
    const int span = std::max(character.width(), balloon.isEmpty() ? 0 : balloon.width());
    const auto inColumn = [&](int left) { return left + (span - character.width()) / 2; };

    const int lowest = screen.bottom() + 1 - character.height();
    const int balloonRoom = balloon.isEmpty() ? 0 : balloon.height() - BalloonOverlap;
    const int highest = std::min(screen.top() + balloonRoom, lowest);
    const int y = std::clamp(usual.y(), highest, lowest);

    const int roomLeft = window.left() - Gap - screen.left();
    const int roomRight = screen.right() - window.right() - Gap;
    if (roomLeft >= span)
        return {inColumn(window.left() - Gap - span), y};
    if (roomRight >= span)
        return {inColumn(window.right() + 1 + Gap), y};
    if (roomLeft >= roomRight)
        return {inColumn(screen.left()), y};
    return {inColumn(screen.right() + 1 - span), y};
}
