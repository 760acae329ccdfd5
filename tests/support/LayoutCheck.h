#pragma once
// A check of a window's layout as a person sees it. It walks the widgets under Root that are
// shown and reports, one readable line each:
//  - sibling widgets that overlap (one control drawn over another);
//  - a widget that reaches outside its parent, where the parent cuts it off;
//  - a widget smaller than its content needs: smaller than its minimum size hint, and a button,
//    check box, radio button, tool button, label or tab bar smaller than its size hint (its
//    text is clipped or elided, as a squeezed tool button shows "Launc…-mail");
//  - a word-wrapped label lower than its text needs at its width;
//  - a tool bar whose buttons do not all fit (its extension button shows).
// The insides of Qt's compound controls (spin boxes, combo boxes, line edits, scroll areas,
// sliders) are not walked. A widget whose size policy is Ignored in a direction accepts any
// size in that direction (a status text, a panel showing a long message ID) and is not checked
// in it.
//
// Show the window and let its layout settle before checking; check each page of a tab widget
// while it is the current one. An empty list means the window fits its text.
#include <QStringList>

class QWidget;

QStringList LayoutProblems(const QWidget* root);
