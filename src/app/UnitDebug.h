#pragma once
// The debug window: a list of every log entry of this run, newest last, with
// a button that clears the list (the log file is left alone). Closing the
// window only hides it.
#include <QWidget>

class QListWidget;
class QToolBar;
class QToolButton;

class TFormDebug : public QWidget {
    Q_OBJECT
public:
    explicit TFormDebug(QWidget* parent = nullptr);

    void AddEntry(const QString& entry);
    int EntryCount() const;
    QString Entry(int index) const;

    QToolBar* ToolBarDebug;
    QToolButton* ToolButtonClear;
    QListWidget* ListBoxDebug;

public slots:
    void ToolButtonClearClick();
};
