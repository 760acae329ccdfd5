#pragma once
// The word balloon beside the character: a frameless tool window in the
// character's balloon style whose text appears word by word. Its size is set
// from the whole text at the start, so the balloon does not grow while the
// words come. It stands above the character's head, or below the character
// when there is no room above, and stays on the desktop. Over the character's
// middle while the character points nowhere in particular; while it points to
// one side, the balloon reaches out to the other, so it does not cover what
// the character shows. Window thread only.
#include "agent/CharacterFile.h"

#include <QTextLayout>
#include <QWidget>
#include <memory>
#include <optional>

class TBalloonWindow : public QWidget {
    Q_OBJECT
public:
    explicit TBalloonWindow(const TBalloonStyle& style);

    // Shows an empty balloon sized for `text` beside `character` (screen rect),
    // whose arm points at `armAngle` (degrees clockwise from pointing right), if at all.
    void Begin(const QString& text, const QRect& character,
               std::optional<int> armAngle = std::nullopt);
    // Shows the first `characters` characters of the text (never fewer than before).
    void Reveal(int characters);
    void RevealAll() { Reveal(int(FText.size())); }
    // Keeps the balloon beside a character that moved.
    void Follow(const QRect& character);

    QString ShownText() const { return FText.left(FRevealed); }
    // The size of the balloon for the longest text (it shows at most a fixed number of lines),
    // for callers that keep a place clear of it before it is shown.
    QSize LargestSize() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void Layout();
    QPainterPath Outline() const;

    TBalloonStyle FStyle;
    QString FText;
    int FRevealed = 0;
    bool FTailDown = true;
    int FTailX = 0;
    int FReach = 0; // -1 to the left of the tail, 1 to the right, 0 both ways
    std::unique_ptr<QTextLayout> FLayout;
};
