#include "platform/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

namespace platform {

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(caption, parent), Group(new QButtonGroup(this)) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(3, 2, 3, 3);
    layout->setVerticalSpacing(2);
    const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        Group->addButton(button, i);
        // Items fill the columns top to bottom, as the framework lays them out.
        layout->addWidget(button, i % rows, i / rows);
        Buttons.push_back(button);
    }
    connect(Group, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (!checked)
            return;
        const int index = Group->checkedId();
        if (index != LastIndex) {
            LastIndex = index;
            emit Click();
        }
    });
}

int TRadioGroup::ItemIndex() const {
    return Group->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
    if (index < -1 || index >= Count())
        index = -1;
    if (index == ItemIndex())
        return;
    if (index == -1) {
        // A button group with exclusive buttons cannot uncheck its last
        // checked button directly.
        Group->setExclusive(false);
        for (auto* button : Buttons)
            button->setChecked(false);
        Group->setExclusive(true);
        LastIndex = -1;
        emit Click();
        return;
    }
    Buttons[static_cast<size_t>(index)]->setChecked(true);
}

} // namespace platform
