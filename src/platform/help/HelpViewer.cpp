#include "platform/help/HelpViewer.h"

#include "platform/MessageBox.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace platform {

THelpViewer::THelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FormHelp"));
    setWindowTitle(QStringLiteral("Help"));
    resize(520, 460);

    ButtonContents = new QPushButton(QStringLiteral("&Contents"), this);
    ButtonContents->setObjectName(QStringLiteral("ButtonHelpContents"));
    ButtonBack = new QPushButton(QStringLiteral("&Back"), this);
    ButtonBack->setObjectName(QStringLiteral("ButtonHelpBack"));
    ButtonBack->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("ButtonHelpClose"));

    TextBrowser = new QTextBrowser(this);
    TextBrowser->setObjectName(QStringLiteral("TextBrowserHelp"));
    // Links are followed here, so that a topic link shows that topic alone
    // and Back knows where it came from.
    TextBrowser->setOpenLinks(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ButtonContents);
    buttons->addWidget(ButtonBack);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(buttons);
    layout->addWidget(TextBrowser, 1);

    connect(ButtonContents, &QPushButton::clicked, this,
            [this] { Show(THelpFile::ContentsTopic(), true); });
    connect(ButtonBack, &QPushButton::clicked, this, &THelpViewer::GoBack);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(TextBrowser, &QTextBrowser::anchorClicked, this, &THelpViewer::LinkClicked);
}

void THelpViewer::ShowTopic(const THelpFile& help, const QString& id) {
    Help = help;
    if (!Help.Title().isEmpty())
        setWindowTitle(Help.Title());
    Show(Help.HasTopic(id) ? id : THelpFile::ContentsTopic(), true);
}

void THelpViewer::Show(const QString& id, bool remember) {
    if (remember && !Current.isEmpty() && Current != id)
        History.append(Current);
    Current = id;
    TextBrowser->setHtml(Help.TopicDocument(id));
    ButtonBack->setEnabled(!History.isEmpty());
    ButtonContents->setEnabled(id != THelpFile::ContentsTopic());
}

void THelpViewer::LinkClicked(const QUrl& url) {
    if (url.scheme().isEmpty() && url.path().isEmpty()) {
        if (Help.HasTopic(url.fragment()))
            Show(url.fragment(), true);
        return;
    }
    QDesktopServices::openUrl(url);
}

void THelpViewer::GoBack() {
    if (History.isEmpty())
        return;
    const QString previous = History.takeLast();
    Show(previous, false);
}

QString HelpFileMissingText(const QString& helpFile) {
    return QStringLiteral("The help file \"%1\" cannot be found. Help is not available.")
        .arg(QDir::toNativeSeparators(helpFile));
}

namespace {

// Whether widget is window or lies inside it, however deep.
bool IsWithin(const QWidget* widget, const QWidget* window) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (widget == window)
            return true;
    }
    return false;
}

bool OpenHelp(const QString& helpFile, const QString& topic, QWidget* owner) {
    // A modal window (the setup wizard) blocks every window that is not its own, so help owned
    // by anyone else would open behind it and could not be scrolled or closed. Help asked for
    // while one is open belongs to that window instead: it stands in front of it, can be used
    // beside it, and closes with it.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && !IsWithin(owner, modal))
        owner = modal;
    const auto help = THelpFile::Load(helpFile);
    if (!help) {
        MessageDlg(HelpFileMissingText(helpFile), TMsgDlgType::Error, mbOK, owner);
        return false;
    }
    THelpViewer* viewer =
        owner ? owner->findChild<THelpViewer*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!viewer) {
        viewer = new THelpViewer(owner);
        if (!owner)
            viewer->setAttribute(Qt::WA_DeleteOnClose);
    }
    viewer->ShowTopic(*help, topic);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return true;
}

} // namespace

bool ShowHelpContext(const QString& helpFile, int context, QWidget* owner) {
    return OpenHelp(helpFile, THelpFile::ContextTopic(context), owner);
}

bool ShowHelpContents(const QString& helpFile, QWidget* owner) {
    return OpenHelp(helpFile, THelpFile::ContentsTopic(), owner);
}

} // namespace platform
