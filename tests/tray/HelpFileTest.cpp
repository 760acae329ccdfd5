#include "platform/help/HelpFile.h"

#include "platform/PlatformTexts.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

TEST(HelpFile, HasATopicForEveryContextTheProgramOpens) {
    const auto help = platform::THelpFile::Load(QStringLiteral(TALVORO_HELP_FILE));
    ASSERT_TRUE(help.has_value());
    EXPECT_EQ(help->Title(), QStringLiteral("Talvoro Help"));
    EXPECT_TRUE(help->HasTopic(QStringLiteral("contents")));
    for (int context :
         {1000, 4000, 5000, 6000, 7000, 8000, 9000, 3010, 3070, 3080, 3090, 3100, 3110}) {
        const QString id = platform::THelpFile::ContextTopic(context);
        EXPECT_TRUE(help->HasTopic(id)) << context;
        EXPECT_TRUE(help->TopicDocument(id).contains(QStringLiteral("<h2>"))) << context;
    }
}

TEST(HelpFile, EveryLinkBetweenTopicsLeadsToATopic) {
    const auto help = platform::THelpFile::Load(QStringLiteral(TALVORO_HELP_FILE));
    ASSERT_TRUE(help.has_value());
    static const QRegularExpression link(QStringLiteral("href=\"#([^\"]+)\""));
    int links = 0;
    for (const QString& id : help->TopicIds())
        for (auto it = link.globalMatch(help->TopicDocument(id)); it.hasNext(); ++links)
            EXPECT_TRUE(help->HasTopic(it.next().captured(1))) << id.toStdString();
    EXPECT_GT(links, 13);
}

TEST(HelpFile, ShowsOneTopicWithTheSharedHead) {
    const auto help = platform::THelpFile::Parse(
        QStringLiteral("<html><head><title>T</title><style>p{}</style></head><body>"
                       "<section id=\"a\"><p>first</p></section>"
                       "<section id=\"ctx-12\" class=\"x\"><p>second</p></section></body></html>"));
    EXPECT_EQ(help.TopicIds(), (QStringList{QStringLiteral("a"), QStringLiteral("ctx-12")}));
    const QString shown = help.TopicDocument(platform::THelpFile::ContextTopic(12));
    EXPECT_TRUE(shown.contains(QStringLiteral("second")));
    EXPECT_FALSE(shown.contains(QStringLiteral("first")));
    EXPECT_TRUE(shown.contains(QStringLiteral("<style>p{}</style>")));
    EXPECT_TRUE(help.TopicDocument(QStringLiteral("b")).isEmpty());
    EXPECT_FALSE(platform::THelpFile::Load(QStringLiteral("/nonexistent/Talvoro.hlp")));
    // A named pipe in the file's place is no help file; opening it does not wait for a writer.
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("Talvoro.hlp"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_FALSE(platform::THelpFile::Load(pipe));
}

QString ReadAll(const char* path) {
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The help file and the manual page speak of this desktop as the window does: captions that name
// Windows or its character component reach the help only through the wording table.
TEST(HelpFile, NeitherTheHelpNorTheManualPageUsesWindowsWording) {
    const QString help = ReadAll(TALVORO_HELP_FILE);
    const QString manual = ReadAll(TALVORO_MANUAL_PAGE);
    ASSERT_FALSE(help.isEmpty());
    ASSERT_FALSE(manual.isEmpty());
    const auto loaded = platform::THelpFile::Load(QStringLiteral(TALVORO_HELP_FILE));
    ASSERT_TRUE(loaded.has_value());
    QString shown;
    for (const QString& id : loaded->TopicIds())
        shown += loaded->TopicDocument(id);

    for (const auto& [name, text] : {std::pair{"help file", help}, std::pair{"help shown", shown},
                                     std::pair{"manual page", manual}}) {
        EXPECT_FALSE(text.contains(QStringLiteral("Windows"))) << name;
        EXPECT_FALSE(text.contains(QStringLiteral("Microsoft Agent"))) << name;
        for (const platform::TPlatformText& row : platform::PlatformTexts())
            EXPECT_FALSE(text.contains(QString::fromUtf8(row.Original).trimmed())) << name;
    }
    static const QRegularExpression placeholder(QStringLiteral("\\{\\{(\\w+)\\}\\}"));
    int placeholders = 0;
    for (auto it = placeholder.globalMatch(help); it.hasNext(); ++placeholders) {
        const QString key = it.next().captured(1);
        EXPECT_FALSE(platform::PlatformTextByKey(key).isNull()) << key.toStdString();
    }
    EXPECT_GT(placeholders, 4);
    EXPECT_FALSE(shown.contains(QStringLiteral("{{")));
    for (const char* key : {"StartAtLogin", "TalkingCharacter", "DefaultSound"})
        EXPECT_TRUE(shown.contains(platform::PlatformTextByKey(QString::fromLatin1(key)))) << key;
    EXPECT_TRUE(manual.contains(platform::PlatformTextByKey(u"StartAtLogin")));
}

TEST(HelpFile, PlaceholdersAreFilledFromTheWordingTable) {
    const QString sound = platform::PlatformText("Windows Default Sound");
    for (const auto& [source, expanded] :
         {std::pair<QString, QString>{"a {{{DefaultSound}}} b", "a {" + sound + "} b"},
          {"{{NoSuchKey}} {{Default Sound}} {{}} {{DefaultSound", ""}})
        EXPECT_EQ(platform::ExpandPlatformTexts(source), expanded.isEmpty() ? source : expanded)
            << source.toStdString();
}

} // namespace
