// Every page of the main window and the windows it opens fit their text at the desktop's font:
// nothing clipped, elided or drawn over another control. CTest runs this at scale factors 1
// and 2 (QT_SCALE_FACTOR).
#include "agent/AgentControl.h"
#include "agent/PropertySheet.h"
#include "app/Identity.h"
#include "app/UnitDebug.h"
#include "app/UnitMain.h"
#include "mail/MessageTable.h"
#include "mail/UnitMessages.h"
#include "platform/MessageBox.h"
#include "platform/TalvoroApplication.h"
#include "platform/help/HelpViewer.h"

#include <QMessageBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "LayoutCheck.h"
#include "QtGtest.h"
#include "SeedProfile.h"

#include <gtest/gtest.h>

namespace {

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        UseProfileIn(Dir.path());
    }
    static QStringList Check(QWidget& window) {
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        return LayoutProblems(&window);
    }
    QTemporaryDir Dir;
};

TEST_F(LayoutTest, EveryPageOfTheMainWindowFitsItsText) {
    TFormMain form({"/D"});
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    for (int i = 0; i < form.PageControl->count(); ++i) {
        form.PageControl->setCurrentIndex(i);
        QCoreApplication::processEvents();
        EXPECT_EQ(LayoutProblems(&form), QStringList()) << form.PageControl->tabText(i);
    }
    // Options that show more controls.
    form.SetTrustedCertificate("pop.example.org 00ff");
    form.SelectPage("E-mail Server");
    QCoreApplication::processEvents();
    EXPECT_EQ(LayoutProblems(&form), QStringList()) << "with a trusted certificate";
}

TEST_F(LayoutTest, TheOtherWindowsFitTheirText) {
    TFormDebug debug;
    EXPECT_EQ(Check(debug), QStringList()) << "debug window";
    TMessageTable table;
    TFormMessages messages(table);
    EXPECT_EQ(Check(messages), QStringList()) << "messages window";
    TAgentControl agent(nullptr);
    TAgentPropertySheet properties(agent);
    EXPECT_EQ(Check(properties), QStringList()) << "character options";
    platform::THelpViewer help;
    EXPECT_EQ(Check(help), QStringList()) << "help window";
}

TEST_F(LayoutTest, MessageBoxesFitTheirText) {
    unsetenv("TALVORO_HEADLESS_DIALOGS");
    QStringList problems;
    QTimer::singleShot(0, [&problems] {
        QWidget* box = QApplication::activeModalWidget();
        if (box == nullptr)
            return;
        if (!QTest::qWaitForWindowExposed(box))
            return;
        problems = LayoutProblems(box);
        box->close();
    });
    platform::MessageDlg("Unable to check E-mail, account information is not complete.  Please "
                         "complete all fields on the E-mail tab.",
                         platform::TMsgDlgType::Error, platform::mbOK);
    EXPECT_EQ(problems, QStringList());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::TTalvoroApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
