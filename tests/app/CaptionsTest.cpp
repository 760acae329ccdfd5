// Every window and message box carries exactly its caption as the window manager sees it
// (_NET_WM_NAME on a real X server), with nothing appended.
#include "app/Application.h"
#include "app/UnitDebug.h"
#include "app/UnitMain.h"
#include "mail/MessageTable.h"
#include "mail/UnitMessages.h"
#include "platform/MessageBox.h"
#include "platform/TalvoroApplication.h"
#include "wizard/UnitWizard.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "QtGtest.h"
#include "SeedProfile.h"
#include "VirtualDisplay.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// The title of a window once it is on the X server.
QString ShownTitle(QWidget* window) {
    window->show();
    const QDeadlineTimer deadline(20000);
    QString title;
    while (title.isEmpty() && !deadline.hasExpired()) {
        QTest::qWait(20);
        title = NetWmName(window->winId());
    }
    return title;
}

// The title of the modal box that Open shows; the box is closed again.
QString ModalTitle(const std::function<void()>& open) {
    QString title;
    QTimer::singleShot(0, [&title] {
        const QDeadlineTimer deadline(20000);
        QWidget* box = nullptr;
        while ((box = QApplication::activeModalWidget()) == nullptr && !deadline.hasExpired())
            QTest::qWait(20);
        if (box == nullptr)
            return;
        title = ShownTitle(box);
        box->close();
    });
    open();
    return title;
}

class CaptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        UseProfileIn(Dir.path());
    }
    QTemporaryDir Dir;
};

TEST_F(CaptionsTest, WindowsCarryExactlyTheirCaptions) {
    TFormMain form({});
    EXPECT_EQ(ShownTitle(&form), "Talvoro");
    form.hide();
    TFormMain debugging({"/D"});
    EXPECT_EQ(ShownTitle(&debugging), "Talvoro: DEBUG Version 1.0");
    debugging.hide();
    TFormDebug debug;
    EXPECT_EQ(ShownTitle(&debug), "Debug:Talvoro");
    TMessageTable table;
    TFormMessages messages(table);
    EXPECT_EQ(ShownTitle(&messages), "Messages:Talvoro [NOT IMPLEMENTED]");
    TFormWizard wizard(form);
    EXPECT_EQ(ModalTitle([&wizard] { wizard.exec(); }), "Talvoro Setup Wizard");
}

TEST_F(CaptionsTest, MessageBoxesCarryExactlyTheirCaptions) {
    using platform::TMsgDlgType;
    const std::pair<TMsgDlgType, const char*> boxes[] = {{TMsgDlgType::Error, "Error"},
                                                         {TMsgDlgType::Information, "Information"},
                                                         {TMsgDlgType::Confirmation, "Confirm"}};
    for (const auto& [type, caption] : boxes)
        EXPECT_EQ(ModalTitle([type = type] { platform::MessageDlg("Text", type, platform::mbOK); }),
                  caption);
    EXPECT_EQ(ModalTitle([] { platform::ShowErrorReport("Disk full"); }), "Talvoro");
}

} // namespace

int main(int argc, char** argv) {
    // Listing the tests (at build time) needs no display.
    const bool listing = argc > 1 && std::string(argv[argc - 1]) == "--gtest_list_tests";
    std::unique_ptr<TVirtualDisplay> display;
    if (!listing) {
        display = std::make_unique<TVirtualDisplay>();
        if (display->Name().isEmpty()) {
            std::fprintf(stderr, "Xvfb could not be started\n");
            return 1;
        }
        qputenv("DISPLAY", display->Name().toUtf8());
        qputenv("QT_QPA_PLATFORM", "xcb");
        // Only the X server is needed: no session bus (the tray would use it) and Qt's own
        // event loop, so the sanitizer builds see no uninstrumented D-Bus or GLib threads.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/talvoro-test-bus");
        qputenv("QT_NO_GLIB", "1");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qunsetenv("TALVORO_HEADLESS_DIALOGS");
    qputenv("TALVORO_AUDIO", "none");
    int result = 0;
    {
        platform::TTalvoroApplication application(argc, argv);
        ConfigureApplication(application);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
