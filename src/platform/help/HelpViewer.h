#pragma once
// The program's help window: one small window that shows one topic of the
// help file at a time, opened at a help context or at the contents, with
// Contents and Back buttons. Links between topics stay in the window; web
// links open in the default browser.
//
// ShowHelpContext / ShowHelpContents are what commands call. When the help
// file is missing they show an error box naming the file and return false.
// A context the file has no topic for opens the contents.
#include "platform/help/HelpFile.h"

#include <QStringList>
#include <QWidget>

class QPushButton;
class QTextBrowser;
class QUrl;

namespace platform {

class THelpViewer : public QWidget {
    Q_OBJECT
public:
    // A window of its own; with a parent it is destroyed with the parent.
    explicit THelpViewer(QWidget* parent = nullptr);

    // Loads help (read from its file by the caller) and shows a topic.
    void ShowTopic(const THelpFile& help, const QString& id);
    // The id of the topic on show ("contents", "ctx-5000", ...).
    QString CurrentTopic() const { return Current; }
    QTextBrowser* Browser() const { return TextBrowser; }

private:
    void Show(const QString& id, bool remember);
    void LinkClicked(const QUrl& url);
    void GoBack();

    THelpFile Help;
    QString Current;
    QStringList History;
    QTextBrowser* TextBrowser;
    QPushButton* ButtonContents;
    QPushButton* ButtonBack;
};

// The text of the error box for a missing help file.
QString HelpFileMissingText(const QString& helpFile);

// Opens the help window of owner (created on first use, a child window of
// owner) at the topic of context; false, after an error box, when the file
// cannot be read. While a modal window that owner is not part of is open (the
// setup wizard), that window is the owner instead, so that help stands in
// front of it and can be used beside it.
bool ShowHelpContext(const QString& helpFile, int context, QWidget* owner);
// The same at the table of contents.
bool ShowHelpContents(const QString& helpFile, QWidget* owner);

} // namespace platform
