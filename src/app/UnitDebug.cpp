#include "app/UnitDebug.h"

#include <QListWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

TFormDebug::TFormDebug(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FormDebug"));
    setWindowTitle(QStringLiteral("Debug:Talvoro"));
    resize(391, 452);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBarDebug = new QToolBar(this);
    ToolBarDebug->setObjectName(QStringLiteral("ToolBarDebug"));
    ToolBarDebug->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ToolButtonClear = new QToolButton(ToolBarDebug);
    ToolButtonClear->setObjectName(QStringLiteral("ToolButtonClear"));
    ToolButtonClear->setText(QStringLiteral("C"));
    ToolButtonClear->setToolTip(QStringLiteral("Clear debug messages"));
    ToolButtonClear->setAutoRaise(true);
    ToolButtonClear->setFixedSize(65, 21);
    ToolBarDebug->addWidget(ToolButtonClear);
    connect(ToolButtonClear, &QToolButton::clicked, this, &TFormDebug::ToolButtonClearClick);
    layout->addWidget(ToolBarDebug);

    ListBoxDebug = new QListWidget(this);
    ListBoxDebug->setObjectName(QStringLiteral("ListBoxDebug"));
    ListBoxDebug->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ListBoxDebug->setUniformItemSizes(true);
    layout->addWidget(ListBoxDebug);
}

void TFormDebug::AddEntry(const QString& entry) {
    ListBoxDebug->addItem(entry);
    ListBoxDebug->scrollToBottom();
}

int TFormDebug::EntryCount() const {
    return ListBoxDebug->count();
}

QString TFormDebug::Entry(int index) const {
    return ListBoxDebug->item(index)->text();
}

void TFormDebug::ToolButtonClearClick() {
    ListBoxDebug->clear();
}
