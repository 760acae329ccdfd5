// Where the character stands while the wizard is on the screen: the rule on rectangles, and the
// real character beside a real wizard.
#include "wizard/CharacterPlacement.h"

#include "FakeWizardHost.h"
#include "QtGtest.h"
#include "agent/AgentControl.h"
#include "platform/Display.h"
#include "wizard/CharacterBesideWizard.h"
#include "wizard/UnitWizard.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QSize Genie(192, 216);
const QSize Balloon(230, 170);
const QRect Desktop(0, 0, 1024, 768);
const QRect Screen(0, 0, 1024, 740); // a panel along the bottom

// What the character and its balloon take when the character stands at Place.
QRect Taken(const QPoint& place, const QSize& balloon = Balloon) {
    const QRect frame(place, Genie);
    return frame.united(BalloonRect(frame, balloon, Desktop));
}

TEST(CharacterPlacement, TheBalloonPlacesItselfAboveOrBelowWithinTheDesktop) {
    EXPECT_EQ(BalloonRect(QRect(400, 300, 192, 216), Balloon, Desktop), QRect(380, 134, 230, 170));
    // No room above: below the character, reaching up over its feet.
    EXPECT_EQ(BalloonRect(QRect(400, 100, 192, 216), Balloon, Desktop), QRect(380, 311, 230, 170));
    // Kept within the left and right edges.
    EXPECT_EQ(BalloonRect(QRect(-50, 300, 192, 216), Balloon, Desktop).left(), 0);
    EXPECT_EQ(BalloonRect(QRect(900, 300, 192, 216), Balloon, Desktop).right(), 1022);
    EXPECT_TRUE(BalloonRect(QRect(400, 300, 192, 216), QSize(), Desktop).isEmpty());
}

TEST(CharacterPlacement, StandsBesideTheWindowWhereverItsUsualPlaceWouldCoverIt) {
    const QRect centred(285, 200, 454, 345);
    const struct {
        const char* Case;
        QPoint Usual;
        QRect Window;
        QSize Balloon;
        QPoint Expected;
    } cases[] = {
        // Clear of the window already: the usual place stands.
        {"far from the window", {20, 500}, centred, Balloon, {20, 500}},
        {"beside it by the usual rule", {60, 300}, centred, Balloon, {60, 300}},
        // The welcome in the middle of the desktop; the left side has room.
        {"mid-desktop", {416, 276}, centred, Balloon, {66, 276}},
        // Left of the page area the character is clear, but its wider balloon is not.
        {"balloon over the window", {80, 150}, centred, Balloon, {66, 166}},
        {"no balloon, clear", {93, 276}, centred, QSize(), {93, 276}},
        // No room on the left: the right.
        {"window at the left edge", {10, 100}, QRect(0, 100, 454, 345), Balloon, {481, 166}},
        // Kept on the screen, with the balloon's room above the character.
        {"high up", {416, 0}, centred, Balloon, {66, 166}},
        {"low down", {416, 700}, centred, Balloon, {66, 524}},
        // No room on either side: the side with more room, against the screen's edge.
        {"narrow screen, more room left",
         {416, 276},
         QRect(220, 200, 640, 345),
         Balloon,
         {19, 276}},
        {"narrow screen, more room right",
         {416, 276},
         QRect(150, 200, 700, 345),
         Balloon,
         {813, 276}},
    };
    for (const auto& c : cases) {
        const QPoint place =
            PlaceClearOfWindow(c.Usual, Genie, c.Balloon, c.Window, Screen, Desktop);
        EXPECT_EQ(place, c.Expected) << c.Case;
        const QRect taken = Taken(place, c.Balloon);
        EXPECT_TRUE(Screen.contains(taken)) << c.Case;
        if (!QString(c.Case).startsWith("narrow")) {
            EXPECT_FALSE(taken.intersects(c.Window)) << c.Case;
        }
    }
}

// The real character and its balloon beside a real wizard, on the offscreen platform's screen.
class CharacterBesideWizardTest : public testing::Test {
protected:
    QTemporaryDir Temp;
    QList<QRect> Taken; // every place the character's and the balloon's windows showed at

    void SetUp() override {
        qputenv("TALVORO_DATA_DIR", TALVORO_SOURCE_DATA_DIR);
        qputenv("XDG_CONFIG_HOME", Temp.filePath("config").toLocal8Bit());
        qputenv("TALVORO_AUDIO", "none"); // speech at once
    }

    // Records the geometry of the character's and the balloon's windows whenever they show or
    // move.
    class TRecorder : public QObject {
    public:
        explicit TRecorder(QList<QRect>& taken) : Taken(taken) {}
        bool eventFilter(QObject* object, QEvent* event) override {
            const auto* widget = qobject_cast<QWidget*>(object);
            if (widget != nullptr && widget->isWindow() && widget->isVisible() &&
                (event->type() == QEvent::Show || event->type() == QEvent::Move ||
                 event->type() == QEvent::Resize) &&
                (widget->objectName() == "AgentBalloonWindow" ||
                 widget->inherits("TCharacterWindow")))
                Taken << widget->geometry();
            return false;
        }
        QList<QRect>& Taken;
    };
};

TEST_F(CharacterBesideWizardTest, NeitherTheCharacterNorItsBalloonCoversTheWizard) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
        int WizardLeft;
        bool CharacterLeft;
    } cases[] = {{screen.right() - 460, true}, {screen.left(), false}};
    for (const auto& c : cases) {
        TAgentControl control(nullptr);
        control.Characters().Load("Genie.acs", "Genie.acs");
        TAgentCharacter& genie = control.Characters().Item("Genie.acs");
        TFakeWizardHost host;
        host.Agent = &control;
        host.CharacterId = "Genie.acs";
        TRecorder recorder(Taken);
        qApp->installEventFilter(&recorder);
        Taken.clear();

        TFormWizard wizard(host);
        wizard.move(c.WizardLeft, screen.top() + 60);
        wizard.show(); // speaks the welcome, with no anchor
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&wizard));
        wizard.ButtonNextClick(); // a guide beside the page area
        // The longest balloon there is.
        AgentSpeakBesideWizard(control, "Genie.acs", QString("Words and words. ").repeated(60),
                               wizard.PageManager, false);
        ASSERT_TRUE(QTest::qWaitFor([&] { return genie.PendingRequests() == 0; }, 60000));
        qApp->removeEventFilter(&recorder);

        const QRect window = wizard.frameGeometry();
        ASSERT_GE(Taken.size(), 2);
        for (const QRect& rect : std::as_const(Taken)) {
            EXPECT_FALSE(rect.intersects(window)) << c.WizardLeft;
            EXPECT_EQ(rect.right() < window.left(), c.CharacterLeft) << c.WizardLeft;
        }
    }
}

} // namespace
