#pragma once
// The word balloon beside the character: a frameless tool window in the
// character's balloon style whose text appears word by word. Its size is set
// from the whole text at the start, so the balloon does not grow while the
// words come. It stands above the character's head, or below the character
// when there is no room above, and stays on the desktop. Window thread only.
#include "agent/CharacterFile.h"

#include <QTextLayout>
#include <QWidget>
#include <memory>

class TBalloonWindow : public QWidget {
    Q_OBJECT
public:
    explicit TBalloonWindow(const TBalloonStyle& style);

    // Shows an empty balloon sized for `text` beside `character` (screen rect).
    void Begin(const QString& text, const QRect& character);
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
    std::unique_ptr<QTextLayout> FLayout;
};
