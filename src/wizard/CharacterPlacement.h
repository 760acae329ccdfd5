#pragma once
// Where the character stands while a window must stay readable (the setup wizard): a pure rule
// on screen rectangles, with no window of its own.
//
// The character's usual place comes from the speech host's rules (beside its anchor, or in the
// middle of the desktop). That place is kept when neither the character nor its balloon would
// then cover the window. Otherwise the character stands beside the window, left or right,
// whichever has room for the character and its balloon on the screen: never over the window's
// text or buttons, and with its balloon clear of the window too.
#include <QPoint>
#include <QRect>
#include <QSize>

// The rectangle the balloon takes for a character whose frame is Character (screen
// coordinates), with a balloon of size Balloon: centred above the character's head, below the
// character when the desktop has no room above it, kept within the desktop's left and right
// edges. This is the rule by which the balloon window places itself. An empty rectangle when
// Balloon is empty (no balloon).
QRect BalloonRect(const QRect& character, const QSize& balloon, const QRect& desktop);

// Where the character's frame (top-left corner) stands, given:
//   usual      the place the speech host's rules chose;
//   character  the character's size; balloon, the largest size its balloon takes (empty for
//              none);
//   window     the window to keep clear, frame included, in screen coordinates;
//   screen     the part of the screen that may be used (the window's screen without panels);
//   desktop    the rectangle covering all monitors, within which the balloon keeps itself.
// Usual when the character and its balloon leave the window clear. Otherwise beside the window,
// a small gap away: on its left when the character and balloon fit there on the screen, else on
// its right when they fit there, else on the side with more room against the screen's edge
// (the one case in which the window may be partly covered). Beside the window the character
// keeps Usual's height as far as the screen allows, leaving room for the balloon above it.
QPoint PlaceClearOfWindow(const QPoint& usual, const QSize& character, const QSize& balloon,
                          const QRect& window, const QRect& screen, const QRect& desktop);
