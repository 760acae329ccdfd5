#include "platform/help/HelpFile.h"

#include <QRegularExpression>

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
}

} // namespace
