#pragma once
// A captioned group of radio buttons that is read and set by item index, the
// framework control behind the program's "Connection", "Speak Time" and
// "Say Time" choices. ItemIndex -1 means no item is selected.
//
// Setting the index from the program emits Click just as a user's choice
// does, but only when the index actually changes.
#include <QGroupBox>
#include <QStringList>
#include <vector>

class QButtonGroup;
class QRadioButton;

namespace platform {

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& caption, const QStringList& items, int columns,
                QWidget* parent = nullptr);

    int ItemIndex() const;
    void SetItemIndex(int index);
    int Count() const { return static_cast<int>(Buttons.size()); }
    QRadioButton* Button(int index) const { return Buttons.at(static_cast<size_t>(index)); }

signals:
    void Click();

private:
    QButtonGroup* Group;
    std::vector<QRadioButton*> Buttons;
    int LastIndex = -1;
};

} // namespace platform
