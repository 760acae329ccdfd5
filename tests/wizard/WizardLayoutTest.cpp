// The wizard and its help fit their text: every page, with and without the account hints, and
// the account page with a provider's note, run at scale factors 1 and 2 (QT_SCALE_FACTOR, see
// CMakeLists.txt).
#include "FakeWizardHost.h"
#include "LayoutCheck.h"
#include "QtGtest.h"
#include "platform/help/HelpViewer.h"
#include "wizard/AccountPageController.h"
#include "wizard/UnitWizard.h"
#include "wizard/WizardPages.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(WizardLayout, EveryPageFitsItsText) {
    for (const bool hints : {false, true}) {
        TFakeWizardHost host;
        if (hints) {
            host.Options["EditPOP3Server"] = QString();
            host.Options["EditPOP3Port"] = QString("port");
            host.Options["EditPOP3Account"] = QString();
            host.Options["EditPOP3Password"] = QString();
        }
        TFormWizard wizard(host);
        wizard.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&wizard));
        for (int page = 0; page < wizard.PageManager->PageCount(); ++page) {
            wizard.PageManager->SetActivePage(page);
            EXPECT_EQ(LayoutProblems(&wizard), QStringList())
                << wizard.PageManager->PageName(page).toStdString() << (hints ? " with hints" : "");
        }
    }
}

TEST(WizardLayout, TheAccountPageMakesRoomForAProvidersNote) {
    TFakeWizardHost host;
    TFormWizard wizard(host);
    wizard.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&wizard));
    wizard.PageManager->SetActivePage(AccountOptionsPage);
    const int height = wizard.height();
    QSignalSpy filled(wizard.AccountPage, &TAccountPageController::Filled);
    wizard.EditEmailAddress->setText("ada.lovelace.of.the.analytical.engine@outlook.com");
    wizard.ButtonFindSettings->click();
    ASSERT_TRUE(filled.wait(30000));
    EXPECT_TRUE(wizard.LabelProviderNote->isVisible());
    EXPECT_GT(wizard.height(), height);
    EXPECT_EQ(LayoutProblems(&wizard), QStringList());
}

TEST(WizardLayout, HelpFitsItsText) {
    QWidget owner;
    ASSERT_TRUE(platform::ShowHelpContext(TALVORO_HELP_FILE, 3080, &owner));
    auto* help = owner.findChild<platform::THelpViewer*>();
    ASSERT_NE(help, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    EXPECT_EQ(LayoutProblems(help), QStringList());
}

} // namespace
