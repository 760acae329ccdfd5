#include "wizard/PageManager.h"

#include <QAbstractButton>

TPageManager::TPageManager(QWidget* parent) : QStackedWidget(parent) {}

int TPageManager::AddPage(const QString& name, QWidget* page, TEnterEvent onEnter,
                          TShowEvent onShow) {
    page->setObjectName(name);
    Pages.push_back({name, page, std::move(onEnter), std::move(onShow)});
    return addWidget(page);
}

QWidget* TPageManager::Page(int index) const {
    return index >= 0 && index < PageCount() ? Pages[static_cast<size_t>(index)].Widget : nullptr;
}

QString TPageManager::PageName(int index) const {
    return index >= 0 && index < PageCount() ? Pages[static_cast<size_t>(index)].Name : QString();
}

int TPageManager::PageIndex(const QString& name) const {
    for (int i = 0; i < PageCount(); ++i) {
        if (Pages[static_cast<size_t>(i)].Name == name)
            return i;
    }
    return -1;
}

void TPageManager::SetActivePage(int index) {
    if (Page(index) == nullptr)
        return;
    setCurrentIndex(index);
    UpdateButtons();
}

void TPageManager::SetButtons(QAbstractButton* back, QAbstractButton* next) {
    ButtonBack = back;
    ButtonNext = next;
}

int TPageManager::NextPage() {
    const int current = ActivePage();
    int target = current >= 0 && current + 1 < PageCount() ? current + 1 : -1;
    if (OnGetNextPage)
        OnGetNextPage(current, target);
    return Page(target) != nullptr ? target : -1;
}

int TPageManager::PriorPage() {
    const int current = ActivePage();
    int target = current > 0 ? current - 1 : -1;
    if (OnGetPriorPage)
        OnGetPriorPage(current, target);
    return Page(target) != nullptr ? target : -1;
}

bool TPageManager::GoNext() {
    return MoveTo(NextPage(), true);
}

bool TPageManager::GoBack() {
    return MoveTo(PriorPage(), false);
}

bool TPageManager::MoveTo(int target, bool forward) {
    if (target < 0)
        return false;
    const TPage& page = Pages[static_cast<size_t>(target)];
    if (page.OnEnter)
        page.OnEnter(forward);
    const bool changed = target != ActivePage();
    setCurrentIndex(target);
    UpdateButtons();
    if (changed && page.OnShow)
        page.OnShow();
    return changed;
}

void TPageManager::UpdateButtons() {
    const bool hasPrior = PriorPage() >= 0;
    const bool hasNext = NextPage() >= 0;
    if (ButtonBack != nullptr)
        ButtonBack->setEnabled(hasPrior);
    if (ButtonNext != nullptr)
        ButtonNext->setEnabled(hasNext);
}
