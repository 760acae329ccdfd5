#include "agent/CharacterFile.h"
#include "agent/AgentError.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString CharsDir = QStringLiteral(TALVORO_SOURCE_DATA_DIR "/MSAGENT/CHARS");

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EAgentError& e) {
        return e.what();
    }
    return "(no error)";
}

int OpaquePixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qAlpha(image.pixel(x, y)) > 128;
    return n;
}

class CharacterFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!QGuiApplication::instance())
            new QGuiApplication(argc, argv);
    }
};

TEST_F(CharacterFileTest, EveryShippedCharacterLoadsWithAllItsParts) {
    const QStringList files = QDir(CharsDir).entryList({QStringLiteral("*.acs")}, QDir::Files);
    ASSERT_GE(files.size(), 3);
    ASSERT_TRUE(files.contains(QStringLiteral("Genie.acs")));
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const TCharacterFile c = TCharacterFile::Load(CharsDir + '/' + name);
        EXPECT_FALSE(c.Name().isEmpty());
        EXPECT_GE(c.Width(), 100);
        EXPECT_GE(c.Height(), 100);
        EXPECT_FALSE(c.Voice().Name.isEmpty());
        const QString all = QString::fromUtf8(c.ComposeSvg(TCharacterPose()));
        for (const char* part : {"mouth-closed", "eyes-open", "arm-rest"})
            EXPECT_TRUE(all.contains(QStringLiteral("id=\"%1\"").arg(part))) << part;
        for (const char* part : {"mouth-half", "mouth-open", "eyes-closed", "arm-point"})
            EXPECT_FALSE(all.contains(QStringLiteral("id=\"%1\"").arg(part))) << part;
        TCharacterPose speaking;
        speaking.Mouth = 2;
        speaking.EyesClosed = true;
        speaking.ArmAngle = 30;
        const QString other = QString::fromUtf8(c.ComposeSvg(speaking));
        for (const char* part : {"mouth-open", "eyes-closed", "arm-point"})
            EXPECT_TRUE(other.contains(QStringLiteral("id=\"%1\"").arg(part))) << part;
        EXPECT_TRUE(other.contains(QStringLiteral("rotate(30)")));
        // Each pose draws a figure, and the poses differ.
        const QImage rest = c.Render(TCharacterPose());
        EXPECT_GT(OpaquePixels(rest), c.Width() * c.Height() / 5);
        EXPECT_NE(rest, c.Render(speaking));
    }
}

TEST_F(CharacterFileTest, ThumbnailsFitTheSquareOrAreNullForBadFiles) {
    const QImage thumb = TCharacterFile::Thumbnail(CharsDir + "/Genie.acs", 32);
    EXPECT_EQ(thumb.size(), QSize(32, 32));
    EXPECT_GT(OpaquePixels(thumb), 100);
    EXPECT_TRUE(TCharacterFile::Thumbnail(CharsDir + "/Nobody.acs", 32).isNull());
}

// What a list of characters shows: the character's name, never a file's text as it stands.
TEST_F(CharacterFileTest, DisplayNames) {
    QTemporaryDir dir;
    const auto character = [&](const QString& file, const QString& name) {
        QFile out(dir.filePath(file));
        out.open(QIODevice::WriteOnly);
        out.write("<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:tv=\"urn:talvoro:character:1\" "
                  "width=\"64\" height=\"80\"><metadata><tv:character name=\"" +
                  name.toUtf8() + "\"/></metadata><rect width=\"64\" height=\"80\"/></svg>");
        return dir.filePath(file);
    };
    const struct {
        QString Path;
        QString Shown;
    } cases[] = {
        {CharsDir + "/Genie.acs", "Genie"},
        {CharsDir + "/Nobody.acs", "Nobody"},
        {character("Blank.ACS", "  "), "Blank"},
        {character("Spaced.acs", "Merlin&#10;the\t&#x202E;Wise"), "Merlin the Wise"},
        {character("Long.acs", QString(60, u'x')), QString(39, u'x') + QChar(0x2026)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TCharacterFile::DisplayName(c.Path).toStdString(), c.Shown.toStdString());
}

TEST_F(CharacterFileTest, AMissingFileSaysSo) {
    const std::string error = ErrorOf([] { TCharacterFile::Load(CharsDir + "/Nobody.acs"); });
    EXPECT_NE(error.find("\"Nobody.acs\" was not found"), std::string::npos) << error;
}

TEST_F(CharacterFileTest, AFileThatIsNotACharacterSaysSo) {
    const std::pair<const char*, QByteArray> cases[] = {
        {"text", "hello, I am a text file"},
        {"empty", ""},
        {"plain picture",
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"50\" height=\"50\"><rect width=\"5\" "
         "height=\"5\"/></svg>"},
        {"no size",
         "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:tv=\"urn:talvoro:character:1\">"
         "<metadata><tv:character name=\"x\"/></metadata></svg>"},
        {"size out of range",
         "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:tv=\"urn:talvoro:character:1\" "
         "width=\"2e+123\" height=\"-5\"><metadata><tv:character name=\"x\"/></metadata></svg>"},
        {"size not finite",
         "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:tv=\"urn:talvoro:character:1\" "
         "width=\"inf\" height=\"nan\"><metadata><tv:character name=\"x\"/></metadata></svg>"},
        {"broken xml",
         "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:tv=\"urn:talvoro:character:1\" "
         "width=\"50\" height=\"50\"><metadata><tv:character name=\"x\"/></metadata><g>"},
    };
    for (const auto& [what, bytes] : cases) {
        const std::string error =
            ErrorOf([&] { TCharacterFile::FromBytes(bytes, QStringLiteral("Fake.acs")); });
        EXPECT_NE(error.find("\"Fake.acs\" is not a character file"), std::string::npos)
            << what << ": " << error;
    }
}

TEST_F(CharacterFileTest, MetadataValuesAreReadAndBounded) {
    const QByteArray bytes =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:tv=\"urn:talvoro:character:1\" "
        "width=\"64px\" height=\"80\" viewBox=\"0 0 32 40\"><metadata><tv:character name=\"Tiny\">"
        "<tv:voice name=\"en-gb\" rate=\"9999\" pitch=\"70\"/>"
        "<tv:balloon fill=\"#102030\" width=\"10\" font-size=\"12\"/>"
        "<tv:arm pivot=\"40 50\"/></tv:character></metadata>"
        "<rect width=\"64\" height=\"80\"/></svg>";
    const TCharacterFile c = TCharacterFile::FromBytes(bytes, QStringLiteral("Tiny.acs"));
    EXPECT_EQ(c.Name(), QStringLiteral("Tiny"));
    EXPECT_EQ(c.Width(), 64);
    EXPECT_EQ(c.Height(), 80);
    EXPECT_EQ(c.Voice().Name, QStringLiteral("en-gb"));
    EXPECT_EQ(c.Voice().Rate, 450);
    EXPECT_EQ(c.Voice().Pitch, 70);
    EXPECT_EQ(c.Balloon().Fill, QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(c.Balloon().Width, 80);
    EXPECT_EQ(c.Balloon().FontSize, 12);
    // Given in the picture's units; the frame is twice as large.
    EXPECT_EQ(c.ArmPivot(), QPointF(80, 100));
}

} // namespace
