#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>

namespace platform {
namespace {

TMessageBoxHook& Hook() {
    static TMessageBoxHook hook;
    return hook;
}

// The answer a box gives when nobody presses a button: its default button.
TModalResult DefaultAnswer(unsigned buttons) {
    if ((buttons & mbDefaultNo) && (buttons & mbNo))
        return TModalResult::No;
    if (buttons & mbYes)
        return TModalResult::Yes;
    if (buttons & mbOK)
        return TModalResult::OK;
    if (buttons & mbNo)
        return TModalResult::No;
    if (buttons & mbCancel)
        return TModalResult::Cancel;
    return TModalResult::OK;
}

TModalResult EscapeAnswer(unsigned buttons) {
    if (buttons & mbCancel)
        return TModalResult::Cancel;
    if (buttons & mbNo)
        return TModalResult::No;
    return TModalResult::OK;
}

bool Headless() {
    return qEnvironmentVariableIntValue("TALVORO_HEADLESS_DIALOGS") == 1;
}

} // namespace

QString CaptionFor(TMsgDlgType type) {
    switch (type) {
    case TMsgDlgType::Warning:
        return QStringLiteral("Warning");
    case TMsgDlgType::Error:
        return QStringLiteral("Error");
    case TMsgDlgType::Information:
        return QStringLiteral("Information");
    case TMsgDlgType::Confirmation:
        return QStringLiteral("Confirm");
    }
    return {};
}

void SetMessageBoxHook(TMessageBoxHook hook) {
    Hook() = std::move(hook);
}

TModalResult ShowMessageBox(const QString& caption, const QString& text, TMsgDlgType type,
                            unsigned buttons, QWidget* parent) {
    if (Hook())
        return Hook()(caption, text, type, buttons);
    if (Headless() || !qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(),
                     text.toLocal8Bit().constData());
        std::fflush(stderr);
        return DefaultAnswer(buttons);
    }

    QMessageBox box(parent);
    box.setWindowTitle(caption);
    // Texts carry what servers sent: shown as written, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (type) {
    case TMsgDlgType::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case TMsgDlgType::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case TMsgDlgType::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case TMsgDlgType::Confirmation:
        box.setIcon(QMessageBox::Question);
        break;
    }
    QAbstractButton* yes = nullptr;
    QAbstractButton* no = nullptr;
    QAbstractButton* ok = nullptr;
    QAbstractButton* cancel = nullptr;
    if (buttons & mbYes)
        yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    if (buttons & mbNo)
        no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    if (buttons & mbOK)
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    if (buttons & mbCancel)
        cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    if (no && (buttons & mbDefaultNo))
        box.setDefaultButton(qobject_cast<QPushButton*>(no));
    else if (yes)
        box.setDefaultButton(qobject_cast<QPushButton*>(yes));
    else if (ok)
        box.setDefaultButton(qobject_cast<QPushButton*>(ok));
    box.exec();
    QAbstractButton* pressed = box.clickedButton();
    if (pressed == nullptr)
        return EscapeAnswer(buttons);
    if (pressed == yes)
        return TModalResult::Yes;
    if (pressed == no)
        return TModalResult::No;
    if (pressed == ok)
        return TModalResult::OK;
    if (pressed == cancel)
        return TModalResult::Cancel;
    return EscapeAnswer(buttons);
}

TModalResult MessageDlg(const QString& text, TMsgDlgType type, unsigned buttons, QWidget* parent) {
    return ShowMessageBox(CaptionFor(type), text, type, buttons, parent);
}

void ShowErrorReport(const QString& text) {
    QString title = QGuiApplication::applicationDisplayName();
    if (title.isEmpty())
        title = QCoreApplication::applicationName();
    ShowMessageBox(title, text, TMsgDlgType::Error, mbOK);
}

} // namespace platform
