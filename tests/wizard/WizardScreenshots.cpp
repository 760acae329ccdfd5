// Shows the setup wizard on each of its seven pages and saves a picture of each, the first with
// the character speaking the welcome beside the wizard, as at the first start:
//
//   xvfb-run -a -s '-screen 0 1024x768x24' sh -c 'openbox & sleep 1; wizard_screenshots DIR'
//
// writes wizard-1-welcome.png ... wizard-7-finish.png into DIR. The first picture is taken from
// the screen (the character and its balloon are windows of their own); the others show the
// wizard alone. The account page shows a password still missing, with its hint.
#include "FakeWizardHost.h"
#include "agent/AgentControl.h"
#include "agent/CharacterWindow.h"
#include "tray/ImageLists.h"
#include "wizard/UnitWizard.h"
#include "wizard/WizardPages.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QScreen>
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
    host.Options["EditPOP3Password"] = QString();
    TAgentControl control(nullptr);
    control.Characters().Load(QStringLiteral("Genie.acs"), QStringLiteral("Genie.acs"));
    TAgentCharacter& genie = control.Characters().Item(QStringLiteral("Genie.acs"));
    host.Agent = &control;
    host.CharacterId = QStringLiteral("Genie.acs");

    TFormWizard wizard(host); // centred on the screen, as at the first start
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
        if (page == AccountOptionsPage) // so that Next leads on
            wizard.EditPOP3Password->setText(QStringLiteral("secret"));
    }
    return 0;
}
