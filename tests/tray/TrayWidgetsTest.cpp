#include "platform/MessageBox.h"
#include "platform/help/HelpViewer.h"
#include "tray/ActionEntry.h"
#include "tray/ActionTable.h"
#include "tray/ImageLists.h"
#include "tray/MarginMenu.h"
#include "tray/ProgramState.h"
#include "tray/SvgIconEngine.h"
#include "tray/TrayIcon.h"
#include "tray/TrayMenus.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>

namespace {

QImage Render(const QIcon& icon, int size) {
    return icon.pixmap(size, size).toImage();
}

// What a picture says at a glance, measured on its pixels.
struct TColourCount {
    int Green = 0, Red = 0, Yellow = 0, White = 0, Black = 0, Opaque = 0;
};

TColourCount Count(const QImage& image) {
    TColourCount count;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 200)
                continue;
            ++count.Opaque;
            const int r = c.red(), g = c.green(), b = c.blue();
            count.Green += g > 150 && r < 120 && b < 120;
            count.Red += r > 180 && g < 90 && b < 90;
            count.Yellow += r > 200 && g > 170 && b < 80;
            count.White += r > 245 && g > 245 && b > 245;
            count.Black += r < 30 && g < 30 && b < 30;
        }
    return count;
}

QStringList EntryNames(const QMenu* menu) {
    QStringList names;
    for (const QAction* action : menu->actions())
        names << action->objectName();
    return names;
}

QStringList Captions(const QMenu* menu) {
    QStringList captions;
    for (const QAction* action : menu->actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return captions;
}

} // namespace

class TrayWidgetsTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { platform::SetMessageBoxHook({}); }

    void StatePicturesSayWhatTheyMean() {
        for (int size : {16, 32}) {
            const auto off = Count(Render(TImageLists::StatePicture(tpCheckingOff), size));
            const auto client = Count(Render(TImageLists::StatePicture(tpClientActive), size));
            const auto mail = Count(Render(TImageLists::StatePicture(tpUnreadMail), size));
            const auto dialup = Count(Render(TImageLists::StatePicture(tpNoDialup), size));
            const auto ready = Count(Render(TImageLists::StatePicture(tpReady), size));
            const auto failed = Count(Render(TImageLists::StatePicture(tpLastCheckFailed), size));
            const int area = size * size;
            QVERIFY2(off.Opaque > area / 3, "the gear fills the picture");
            QCOMPARE(off.Green + off.Red + off.Yellow, 0);
            QVERIFY(client.Black > area / 12);
            QVERIFY(mail.White > area / 6);
            QVERIFY(dialup.Yellow > area / 12);
            QVERIFY(ready.Green > area / 20);
            QCOMPARE(ready.Red, 0);
            QVERIFY(failed.Red > area / 20);
            QCOMPARE(failed.Green, 0);
        }
    }

    void PicturesAreDrawnForTheSizeAsked() {
        const QIcon icon = TImageLists::StatePicture(tpReady);
        QCOMPARE(Render(icon, 16).size(), QSize(16, 16));
        QCOMPARE(Render(icon, 64).size(), QSize(64, 64));
        // High density: a 32-point picture at ratio 2 has 64 device pixels.
        const QPixmap dense = icon.pixmap(QSize(32, 32), 2.0);
        QCOMPARE(dense.deviceIndependentSize(), QSizeF(32, 32));
        QCOMPARE(dense.size(), QSize(64, 64));
        TSvgIconEngine engine(QStringLiteral(":/icons/state4.svg"),
                              QStringLiteral(":/icons/state4-16.svg"));
        QVERIFY(engine.DrawingFor(QSize(16, 16)).endsWith(QStringLiteral("-16.svg")));
        QVERIFY(engine.DrawingFor(QSize(32, 32)).endsWith(QStringLiteral("state4.svg")));
        // Same index, same icon; out of range, none.
        QCOMPARE(TImageLists::StatePicture(2).cacheKey(), TImageLists::StatePicture(2).cacheKey());
        QVERIFY(TImageLists::StatePicture(6).isNull());
        QVERIFY(TImageLists::MenuPicture(-1).isNull());
        for (int i = 0; i < TImageLists::MenuPictureCount; ++i)
            QVERIFY2(Count(Render(TImageLists::MenuPicture(i), 16)).Opaque > 20,
                     qPrintable(QString::number(i)));
        QCOMPARE(TImageLists::LogoPixmap().size(), QSize(112, 119));
        QVERIFY(!TImageLists::AppIcon().isNull());
        QVERIFY(Count(Render(TImageLists::MenuPicture(8), 16)).Red > 40);   // red sign
        QVERIFY(Count(Render(TImageLists::MenuPicture(5), 16)).Black > 20); // black X
    }

    void AnimationFramesTurnTheGear() {
        QImage previous = Render(TImageLists::AnimationFrame(3), 32);
        for (int frame = 0; frame < TImageLists::AnimationFrameCount; ++frame) {
            const QImage image = Render(TImageLists::AnimationFrame(frame), 32);
            QVERIFY(image != previous);
            const auto colours = Count(image);
            QCOMPARE(colours.Green + colours.Red + colours.Yellow, 0);
            previous = image;
        }
    }

    void TrayIconStartsGreyWithTheStartHint() {
        TTrayIcon tray;
        QCOMPARE(tray.Tag(), 0);
        QCOMPARE(tray.Hint(), QStringLiteral("Talvoro: Right click for menu"));
        QCOMPARE(tray.ShownIcon().cacheKey(), TImageLists::StatePicture(0).cacheKey());
        QCOMPARE(tray.SystemTrayIcon()->icon().cacheKey(), TImageLists::StatePicture(0).cacheKey());
        tray.Show(); // no notification area here: nothing happens, nothing breaks
        QVERIFY(tray.Visible());
    }

    void SetTrayIconFollowsTheTagRule() {
        TTrayIcon tray;
        tray.SetTrayIcon(tpReady);
        QCOMPARE(tray.Tag(), int(tpReady));
        QCOMPARE(tray.ShownIcon().cacheKey(), TImageLists::StatePicture(tpReady).cacheKey());
        tray.SetTrayIcon(7);
        QCOMPARE(tray.Tag(), int(tpReady));
        tray.SetTrayIcon(tpCheckingOff);
        QCOMPARE(tray.ShownIcon().cacheKey(), TImageLists::StatePicture(0).cacheKey());
    }

    void HintIsCutWhereTheTrayCutsIt() {
        TTrayIcon tray;
        tray.SetHint(QStringLiteral("Talvoro: Right click for menu [E-mail client active, "
                                    "checking disabled.]"));
        QCOMPARE(tray.Hint(),
                 QStringLiteral("Talvoro: Right click for menu [E-mail client active, checking d"));
        QCOMPARE(tray.SystemTrayIcon()->toolTip(), tray.Hint());
    }

    void AnimationRunsAndRestoresTheStatePicture() {
        TTrayIcon tray;
        tray.SetTrayIcon(tpUnreadMail);
        tray.SetAnimated(true);
        QVERIFY(tray.Animated());
        QCOMPARE(tray.ShownFrame(), 0);
        QCOMPARE(tray.ShownIcon().cacheKey(), TImageLists::AnimationFrame(0).cacheKey());
        // The timer turns it on its own.
        QTRY_COMPARE(tray.ShownFrame(), 1);
        tray.AnimationStep();
        tray.AnimationStep();
        tray.AnimationStep();
        QCOMPARE(tray.ShownFrame(), (1 + 3) % 4);
        // A state set during the check shows when the animation stops.
        tray.SetTrayIcon(tpLastCheckFailed);
        QVERIFY(tray.ShownFrame() >= 0);
        QCOMPARE(tray.Tag(), int(tpLastCheckFailed));
        tray.SetAnimated(false);
        QVERIFY(!tray.Animated());
        QCOMPARE(tray.ShownFrame(), -1);
        QCOMPARE(tray.ShownIcon().cacheKey(),
                 TImageLists::StatePicture(tpLastCheckFailed).cacheKey());
        const qint64 shown = tray.ShownIcon().cacheKey();
        QTest::qWait(3 * TTrayIcon::AnimationInterval);
        QCOMPARE(tray.ShownIcon().cacheKey(), shown);
        tray.SetAnimated(false); // off while off: nothing
        QCOMPARE(tray.ShownIcon().cacheKey(), shown);
    }

    void RightClickMenuOnlyWithAutomaticPopup() {
        TTrayIcon tray;
        QMenu menu;
        tray.SetMenu(&menu);
        QCOMPARE(tray.SystemTrayIcon()->contextMenu(), &menu);
        tray.SetAutoPopup(false);
        QVERIFY(tray.SystemTrayIcon()->contextMenu() == nullptr);
        tray.SetAutoPopup(true);
        QCOMPARE(tray.SystemTrayIcon()->contextMenu(), &menu);
    }

    void OnlyTheDoubleClickIsACommand() {
        TTrayIcon tray;
        QSignalSpy doubleClicks(&tray, &TTrayIcon::DoubleClicked);
        emit tray.SystemTrayIcon()->activated(QSystemTrayIcon::Trigger);
        emit tray.SystemTrayIcon()->activated(QSystemTrayIcon::Context);
        QCOMPARE(doubleClicks.count(), 0);
        emit tray.SystemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
        QCOMPARE(doubleClicks.count(), 1);
    }

    void ActionsCarryTheTable() {
        QObject owner;
        const TActions actions = CreateActions(&owner);
        for (const TActionSpec& entry : ActionTable) {
            QAction* action = actions.Find(QString::fromLatin1(entry.Name));
            QVERIFY2(action, entry.Name);
            QCOMPARE(action->objectName(), QString::fromLatin1(entry.Name));
            QCOMPARE(action->parent(), &owner);
            QCOMPARE(action->text(), QString::fromLatin1(entry.Caption));
            QCOMPARE(action->isEnabled(), entry.EnabledAtStart);
            QCOMPARE(action->isCheckable(), entry.Checkable);
            QCOMPARE(action->icon().isNull(), entry.Picture < 0);
            if (*entry.Hint)
                QCOMPARE(action->toolTip(), QString::fromLatin1(entry.Hint));
        }
        QCOMPARE(actions.ActionStop->isEnabled(), false);
        QCOMPARE(actions.ActionMarkAsRead->toolTip(),
                 QStringLiteral("Mark messages as read [ resets tray icon]"));
        QCOMPARE(actions.ActionLastError->icon().cacheKey(),
                 TImageLists::MenuPicture(9).cacheKey());
        QVERIFY(actions.Find(QStringLiteral("ActionNone")) == nullptr);
    }

    void TrayMenuHasItsEntriesInOrder() {
        QWidget window;
        const TActions actions = CreateActions(&window);
        const TTrayMenu tray = BuildTrayMenu(actions, &window);
        QCOMPARE(tray.Menu->objectName(), QStringLiteral("RxPopupMenuTray"));
        QCOMPARE(
            EntryNames(tray.Menu),
            (QStringList{"PopupMenuTrayMessages", "N2", "PopupMenuTrayCheckNow",
                         "PopupMenuTrayStop", "PopupMenuTrayResetEmailFlag",
                         "PopupMenuTrayLastError", "PopupMenuTrayLaunchEmail", "N4",
                         "PopupMenuTrayEmailCheckingEnabled", "PopupMenuTrayOptions", "N1",
                         "PopupMenuTrayHelp", "PopupMenuTrayAbout", "N3", "PopupMenuTrayClose"}));
        QCOMPARE(Captions(tray.Menu),
                 (QStringList{"Recent Messages", "-", "Check Now", "Stop", "Mark Read",
                              "Last Error", "Launch E-mail", "-", "Enable E-mail Checking",
                              "Configuration", "-", "Help", "About", "-", "Close"}));
        QCOMPARE(EntryNames(tray.Options),
                 (QStringList{"PopupMenuTrayOptionsGeneral", "PopupMenuTrayOptionsNotification",
                              "PopupMenuTrayOptionsEmail", "PopupMenuTrayOptionsEmailOptions"}));
        QCOMPARE(Captions(tray.Options),
                 (QStringList{"General", "Notification", "E-mail Server", "E-mail Options"}));
        QVERIFY(!tray.Messages->menuAction()->isEnabled());
        QCOMPARE(tray.Messages->menuAction(), tray.Menu->actions().front());
        tray.Messages->setEnabled(true);
        QVERIFY(tray.Messages->menuAction()->isEnabled());
        QCOMPARE(tray.About->text(), QStringLiteral("About"));
        QCOMPARE(tray.OptionsEmail->objectName(), QStringLiteral("PopupMenuTrayOptionsEmail"));
    }

    void MenuEntriesFollowAndRunTheirActions() {
        QWidget window;
        const TActions actions = CreateActions(&window);
        const TTrayMenu tray = BuildTrayMenu(actions, &window);
        auto* stop = tray.Menu->findChild<QAction*>(QStringLiteral("PopupMenuTrayStop"));
        QVERIFY(stop && !stop->isEnabled());
        QCOMPARE(stop->toolTip(), QStringLiteral("Abort current e-mail check"));
        QCOMPARE(stop->icon().cacheKey(), TImageLists::MenuPicture(8).cacheKey());
        actions.ActionStop->setEnabled(true);
        QVERIFY(stop->isEnabled());
        QSignalSpy stops(actions.ActionStop, &QAction::triggered);
        stop->trigger();
        QCOMPARE(stops.count(), 1);

        auto* checking =
            tray.Menu->findChild<QAction*>(QStringLiteral("PopupMenuTrayEmailCheckingEnabled"));
        QVERIFY(checking && checking->isCheckable() && !checking->isChecked());
        actions.ActionEmailCheckingEnabled->setChecked(true); // from the settings
        QVERIFY(checking->isChecked());
        checking->trigger(); // the user unchecks it in the menu
        QVERIFY(!actions.ActionEmailCheckingEnabled->isChecked());
        QVERIFY(!checking->isChecked());
    }

    void SecondPopupMenuRepeatsTheEntries() {
        QWidget window;
        const TActions actions = CreateActions(&window);
        const TSecondPopupMenu popup = BuildSecondPopupMenu(actions, &window);
        QCOMPARE(popup.Menu->objectName(), QStringLiteral("PopupMenuTray"));
        QStringList captions = Captions(popup.Menu);
        captions.removeAll(QStringLiteral("-"));
        QCOMPARE(captions, (QStringList{"Recent Messages", "Check Now", "Stop", "Mark Read",
                                        "Last Error", "Launch E-mail", "Enable E-mail Checking",
                                        "More Options", "Help", "About", "Close"}));
        QVERIFY(!popup.Messages->menuAction()->isEnabled());
        QVERIFY(popup.MoreOptions && popup.About);
        QVERIFY(qobject_cast<TMarginMenu*>(popup.Menu) == nullptr);
    }

    void MainToolBarHasFiveFlatButtons() {
        QWidget window;
        const TActions actions = CreateActions(&window);
        QToolBar* toolBar = BuildMainToolBar(actions, &window);
        QCOMPARE(toolBar->objectName(), QStringLiteral("ToolBarMain"));
        QCOMPARE(toolBar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        const QList<QAction*> expected{actions.ActionCheckNow, actions.ActionStop,
                                       actions.ActionLastError, actions.ActionMarkAsRead,
                                       actions.ActionLaunchEmail};
        QCOMPARE(toolBar->actions(), expected);
        const QStringList names{"ToolButtonCheckNow", "ToolButtonStop", "ToolButtonLastError",
                                "ToolButtonMarkAsRead", "ToolButtonLaunchEmail"};
        for (int i = 0; i < expected.size(); ++i) {
            auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(expected[i]));
            QVERIFY(button);
            QCOMPARE(button->objectName(), names[i]);
            // 74 by 36 at least, more where the caption needs it.
            QVERIFY(button->minimumSize() == QSize(74, 36));
            QVERIFY(button->autoRaise());
            QCOMPARE(button->isEnabled(), expected[i]->isEnabled());
        }
    }

    void CheckBoxFollowsTheCheckingAction() {
        QWidget window;
        const TActions actions = CreateActions(&window);
        auto* box = new QCheckBox(&window);
        box->setToolTip(QStringLiteral("Allow Talvoro to check your e-mail"));
        BindButtonToAction(box, actions.ActionEmailCheckingEnabled, true);
        QCOMPARE(box->text(), QStringLiteral("Enable E-mail Checking"));
        QCOMPARE(box->toolTip(), QStringLiteral("Allow Talvoro to check your e-mail"));
        actions.ActionEmailCheckingEnabled->setChecked(true);
        QVERIFY(box->isChecked());
        box->click();
        QVERIFY(!actions.ActionEmailCheckingEnabled->isChecked());
        QVERIFY(!box->isChecked());
    }

    void BrowseDialogIsAnsweredWithoutAPerson() {
        // TALVORO_HEADLESS_DIALOGS=1 in the test environment: cancelled.
        if (qEnvironmentVariableIntValue("TALVORO_HEADLESS_DIALOGS") == 1)
            QVERIFY(BrowseForEmailClient(nullptr, QStringLiteral("/usr/bin/x")).isEmpty());
        QString offered;
        SetBrowseEmailClientHook([&](const QString& current) {
            offered = current;
            return QStringLiteral("/opt/mail/client");
        });
        QCOMPARE(BrowseForEmailClient(nullptr, QStringLiteral("/usr/bin/x")),
                 QStringLiteral("/opt/mail/client"));
        QCOMPARE(offered, QStringLiteral("/usr/bin/x"));
        SetBrowseEmailClientHook({});
    }

    // The dialog's "Programs" choice lists the programs of a folder and hides other files;
    // "All files" lists both.
    void BrowseDialogListsPrograms() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const auto& [name, permissions] :
             {std::pair{"mailer", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner},
              std::pair{"notes.txt", QFile::ReadOwner | QFile::WriteOwner}}) {
            QFile file(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            QVERIFY(file.setPermissions(permissions));
        }
        // No file chosen yet: a chosen file would be listed whatever the filter.
        const std::unique_ptr<QFileDialog> dialog(
            CreateEmailClientDialog(nullptr, dir.filePath(QStringLiteral("none"))));
        dialog->show();
        const auto listed = [&dialog](const QString& folder) {
            const auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
            QStringList names;
            if (view == nullptr || view->model() == nullptr)
                return names;
            for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
                names << view->model()->index(row, 0, view->rootIndex()).data().toString();
            names.removeAll(QStringLiteral(".."));
            names.sort();
            return QDir(dialog->directory()) == QDir(folder) ? names : QStringList();
        };
        QTRY_COMPARE_WITH_TIMEOUT(listed(dir.path()), QStringList{QStringLiteral("mailer")}, 20000);
        dialog->selectNameFilter(dialog->nameFilters().at(1));
        emit dialog->filterSelected(dialog->nameFilters().at(1));
        QTRY_COMPARE_WITH_TIMEOUT(
            listed(dir.path()),
            (QStringList{QStringLiteral("mailer"), QStringLiteral("notes.txt")}), 20000);
        dialog->selectNameFilter(dialog->nameFilters().at(0));
        emit dialog->filterSelected(dialog->nameFilters().at(0));
        dialog->setDirectory(QStringLiteral("/usr/bin"));
        QTRY_VERIFY_WITH_TIMEOUT(listed(QStringLiteral("/usr/bin")).contains(QStringLiteral("env")),
                                 20000);
        QVERIFY(listed(QStringLiteral("/usr/bin")).size() > 10);
    }

    void MarginIsPaintedAsTheProgramDrawsIt() {
        QImage image(30, 320, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        QPalette palette;
        palette.setColor(QPalette::Button, QColor(212, 208, 200));
        palette.setColor(QPalette::HighlightedText, Qt::white);
        palette.setColor(QPalette::Dark, QColor(128, 128, 128));
        palette.setColor(QPalette::Light, QColor(255, 255, 254));
        {
            QPainter painter(&image);
            DrawMenuMargin(painter, image.rect(), palette, QStringLiteral("Talvoro"));
        }
        QCOMPARE(image.pixelColor(20, 0), QColor(212, 208, 200)); // top band
        QCOMPARE(image.pixelColor(20, 319), QColor(1, 0, 0));     // bottom band
        QCOMPARE(image.pixelColor(27, 100), QColor(Qt::magenta)); // left alone
        QCOMPARE(image.pixelColor(28, 100), QColor(128, 128, 128));
        QCOMPARE(image.pixelColor(29, 100), QColor(255, 255, 254));
        // 32 bands of 10 pixels here, each one colour, stepping evenly; the
        // upper ones are free of text.
        for (int band = 0; band < 18; ++band) {
            const int y = band * 10;
            const QColor colour = image.pixelColor(20, y);
            QCOMPARE(image.pixelColor(20, y + 9), colour);
            QCOMPARE(colour.red(), 212 + (1 - 212) * band / 31);
            QCOMPARE(colour.blue(), 200 - 200 * band / 31);
        }
        // The name is written near the bottom, not at the top.
        auto whiteIn = [&](int top, int bottom) {
            int white = 0;
            for (int y = top; y < bottom; ++y)
                for (int x = 0; x < 27; ++x)
                    white += image.pixelColor(x, y).lightness() > 200 &&
                             image.pixelColor(x, y) != image.pixelColor(x, qMax(0, y - 1));
            return white;
        };
        QVERIFY(whiteIn(200, 315) > 30);
        QCOMPARE(whiteIn(315, 320), 0); // 5 pixels free below the text
    }

    void MarginMenuShiftsItsEntriesRight() {
        QWidget window;
        const TActions actions = CreateActions(&window);
        const TTrayMenu tray = BuildTrayMenu(actions, &window);
        tray.Menu->popup(QPoint(10, 10));
        QVERIFY(QTest::qWaitForWindowExposed(tray.Menu));
        const QRect margin = tray.Menu->MarginRect();
        QCOMPARE(margin.width(), TMarginMenu::MarginWidth);
        for (QAction* action : tray.Menu->actions())
            QVERIFY(tray.Menu->actionGeometry(action).left() >= margin.right());
        const QImage shot = tray.Menu->grab().toImage();
        const QColor bottom = shot.pixelColor(margin.left() + 2, margin.bottom());
        QVERIFY2(bottom.lightness() < 20, qPrintable(bottom.name()));
        tray.Menu->close();
    }

    void HelpOpensAtAContextOrTheContents() {
        QWidget owner;
        const QString file = QStringLiteral(TALVORO_HELP_FILE);
        QVERIFY(platform::ShowHelpContext(file, 5000, &owner));
        auto* viewer = owner.findChild<platform::THelpViewer*>();
        QVERIFY(viewer && viewer->isVisible());
        QCOMPARE(viewer->CurrentTopic(), QStringLiteral("ctx-5000"));
        QVERIFY(viewer->Browser()->toPlainText().contains(QStringLiteral("Run Setup Wizard")));
        QCOMPARE(viewer->windowTitle(), QStringLiteral("Talvoro Help"));

        QVERIFY(platform::ShowHelpContents(file, &owner));
        QCOMPARE(owner.findChildren<platform::THelpViewer*>().size(), 1); // one window
        QCOMPARE(viewer->CurrentTopic(), QStringLiteral("contents"));
        QVERIFY(platform::ShowHelpContext(file, 4242, &owner)); // no such topic
        QCOMPARE(viewer->CurrentTopic(), QStringLiteral("contents"));

        // A link leads to its topic; Back returns.
        emit viewer->Browser()->anchorClicked(QUrl(QStringLiteral("#ctx-8000")));
        QCOMPARE(viewer->CurrentTopic(), QStringLiteral("ctx-8000"));
        QTest::mouseClick(viewer->findChild<QPushButton*>(QStringLiteral("ButtonHelpBack")),
                          Qt::LeftButton);
        QCOMPARE(viewer->CurrentTopic(), QStringLiteral("contents"));
    }

    void MissingHelpFileIsNamedInAnErrorBox() {
        QStringList shown;
        platform::SetMessageBoxHook(
            [&](const QString& caption, const QString& text, platform::TMsgDlgType type, unsigned) {
                shown << caption << text;
                Q_UNUSED(type);
                return platform::TModalResult::OK;
            });
        QWidget owner;
        QVERIFY(!platform::ShowHelpContext(QStringLiteral("/nowhere/Talvoro.hlp"), 5000, &owner));
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0], QStringLiteral("Error"));
        QVERIFY(shown[1].contains(QStringLiteral("/nowhere/Talvoro.hlp")));
        QVERIFY(owner.findChild<platform::THelpViewer*>() == nullptr);
    }
};

QTEST_MAIN(TrayWidgetsTest)
#include "TrayWidgetsTest.moc"
