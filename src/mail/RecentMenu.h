#pragma once
// Rebuilds the "Recent Messages" submenu from the recent list; called each time the tray menu
// is about to open. The items of the previous rebuild are removed first (other items of the
// menu stay). Each entry becomes an item, newest first, captioned with the text before its
// first "|" and hinted (status tip and tool tip) with the text after it; the item's data is
// its index in the list, and choosing it calls OnClick with that index. The submenu is enabled
// exactly when it holds at least one item. Window thread only.
#include "mail/RecentList.h"

#include <functional>

class QMenu;

void RebuildRecentMenu(QMenu* Menu, const TRecentList& List,
                       const std::function<void(int Index)>& OnClick);
