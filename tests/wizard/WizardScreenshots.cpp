// Shows the setup wizard on each of its seven pages and saves a picture of each:
//
//   xvfb-run -a -s '-screen 0 1024x768x24' wizard_screenshots docs/screenshots
//
// writes wizard-1-welcome.png ... wizard-7-finish.png into the given folder.
#include "FakeWizardHost.h"
#include "tray/ImageLists.h"
#include "wizard/UnitWizard.h"
#include "wizard/WizardPages.h"

#include <QApplication>
#include <QDir>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv) {
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

    TFormWizard wizard(host);
    wizard.move(40, 40);
    wizard.show();
    if (!QTest::qWaitForWindowExposed(&wizard))
        return 1;
    const char* files[WizardPageCount] = {"welcome", "email",   "account", "notification",
                                          "time",    "startup", "finish"};
    for (int page = 0; page < WizardPageCount; ++page) {
        if (page > 0)
            wizard.ButtonNextClick();
        QTest::qWait(150);
        const QString file =
            out.filePath(QStringLiteral("wizard-%1-%2.png").arg(page + 1).arg(files[page]));
        if (!wizard.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    return 0;
}
