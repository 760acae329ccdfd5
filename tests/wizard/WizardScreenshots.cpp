// Shows the setup wizard on each of its seven pages and saves a picture of each, the first with
// the character speaking the welcome beside the wizard, as at the first start:
//
//   xvfb-run -a -s '-screen 0 1024x768x24' sh -c 'openbox & sleep 1; wizard_screenshots DIR'
//
// writes wizard-1-welcome.png ... wizard-7-finish.png into DIR. The first picture is taken from
// the screen (the character and its balloon are windows of their own); the others show the
// wizard alone. The account page is that of a new profile (wizard-3-account.png), then after
// Find Settings for ada@example.test, whose SRV records a stand-in resolver answers
// (wizard-3-account-found.png), and for a Gmail address with its note
// (wizard-3-account-gmail.png).
#include "FakeWizardHost.h"
#include "account/SettingsFinder.h"
#include "agent/AgentControl.h"
#include "agent/CharacterWindow.h"
#include "tray/ImageLists.h"
#include "wizard/AccountPageController.h"
#include "wizard/UnitWizard.h"
#include "wizard/WizardPages.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>

namespace {

bool Save(const QPixmap& picture, const QString& file) {
    if (!picture.save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

// ada@example.test's domain offers IMAP over TLS; nothing else is known anywhere.
TSettingsFinder* ExampleFinder() {
    TSettingsSearch::TOptions options;
    options.ServiceResolver = [](const std::string& name, std::vector<TServiceRecord>& found) {
        if (name != "_imaps._tcp.example.test")
            return WSANO_DATA;
        found = {{0, 0, 993, "imap.example.test"}};
        return 0;
    };
    options.HostResolver = [](const std::string&, std::vector<TResolvedAddress>&) {
        return WSAHOST_NOT_FOUND;
    };
    return new TSettingsFinder(TProviderTable::Installed(), options);
}

bool FindSettings(TFormWizard& wizard, const char* address, const QString& file) {
    QSignalSpy filled(wizard.AccountPage, &TAccountPageController::Filled);
    wizard.EditEmailAddress->setText(QString::fromUtf8(address));
    wizard.ButtonFindSettings->click();
    if (!filled.wait(10000))
        return false;
    QTest::qWait(150);
    return Save(wizard.grab(), file);
}

} // namespace

int main(int argc, char** argv) {
    // The balloon stays up while the words are said at their real pace, without a sound.
    if (qEnvironmentVariableIsEmpty("TALVORO_AUDIO"))
        qputenv("TALVORO_AUDIO", "silent");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: wizard_screenshots out-folder\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    TFakeWizardHost host;
    host.Logo = TImageLists::LogoPixmap();
    host.Options["CheckBoxEnableAgent"] = true;
    host.Options["CheckBoxSoundBeep"] = true;
    host.Options["RadioGroupInternetConnection"] = 1;
    host.Options["RadioGroupSayTimeInterval"] = 0;
    host.Options["EditYourName"] = QStringLiteral("Ada");
    // A new profile.
    host.Options["EditPOP3Server"] = QString();
    host.Options["EditPOP3Account"] = QString();
    host.Options["EditPOP3Password"] = QString();
    TAgentControl control(nullptr);
    control.Characters().Load(QStringLiteral("Genie.acs"), QStringLiteral("Genie.acs"));
    TAgentCharacter& genie = control.Characters().Item(QStringLiteral("Genie.acs"));
    host.Agent = &control;
    host.CharacterId = QStringLiteral("Genie.acs");

    TFormWizard wizard(host); // centred on the screen, as at the first start
    wizard.AccountPage->SetFinder(ExampleFinder());
    wizard.show();
    if (!QTest::qWaitForWindowExposed(&wizard))
        return 1;
    // The second sentence of the welcome, well under way.
    if (!QTest::qWaitFor(
            [&] { return genie.BalloonVisible() && genie.BalloonText().contains(u"utility"); },
            30000))
        return 1;
    QTest::qWait(300);
    QRect shown = wizard.frameGeometry().united(genie.Window().frameGeometry());
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("AgentBalloonWindow") && window->isVisible())
            shown = shown.united(window->frameGeometry());
    }
    shown = shown.adjusted(-16, -16, 16, 16).intersected(wizard.screen()->geometry());
    const QPixmap screen =
        wizard.screen()->grabWindow(0, shown.x(), shown.y(), shown.width(), shown.height());
    if (!Save(screen, out.filePath(QStringLiteral("wizard-1-welcome.png"))))
        return 1;
    host.Agent = nullptr;
    genie.StopAll();
    genie.Hide(true);

    const char* files[WizardPageCount] = {"welcome", "email",   "account", "notification",
                                          "time",    "startup", "finish"};
    for (int page = 1; page < WizardPageCount; ++page) {
        wizard.ButtonNextClick();
        QTest::qWait(150);
        const QString file =
            out.filePath(QStringLiteral("wizard-%1-%2.png").arg(page + 1).arg(files[page]));
        if (!Save(wizard.grab(), file))
            return 1;
        if (page != AccountOptionsPage)
            continue;
        if (!FindSettings(wizard, "ada@example.test",
                          out.filePath(QStringLiteral("wizard-3-account-found.png"))) ||
            !FindSettings(wizard, "ada@gmail.com",
                          out.filePath(QStringLiteral("wizard-3-account-gmail.png"))))
            return 1;
        wizard.EditPOP3Password->setText(QStringLiteral("secret")); // so that Next leads on
    }
    return 0;
}
