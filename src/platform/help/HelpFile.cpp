#include "platform/help/HelpFile.h"

#include "platform/PlatformTexts.h"
#include "platform/ReadRegularFile.h"

#include <QRegularExpression>

namespace platform {

namespace {

// Far more than any help file; a larger one is not ours.
constexpr std::size_t MaxFileSize = 16 * 1024 * 1024;

} // namespace

std::optional<THelpFile> THelpFile::Load(const QString& path) {
    const std::optional<QByteArray> source = ReadRegularFile(path, MaxFileSize);
    if (!source)
        return std::nullopt;
    return Parse(QString::fromUtf8(*source));
}

THelpFile THelpFile::Parse(const QString& source) {
    THelpFile help;
    const QString html = ExpandPlatformTexts(source);
    static const QRegularExpression head(QStringLiteral("<head>(.*)</head>"),
                                         QRegularExpression::DotMatchesEverythingOption |
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression title(QStringLiteral("<title>(.*)</title>"),
                                          QRegularExpression::DotMatchesEverythingOption |
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression section(
        QStringLiteral("<section\\s+id=\"([^\"]+)\"[^>]*>(.*?)</section>"),
        QRegularExpression::DotMatchesEverythingOption | QRegularExpression::CaseInsensitiveOption);
    if (const auto match = head.match(html); match.hasMatch())
        help.Head = match.captured(1);
    if (const auto match = title.match(html); match.hasMatch())
        help.DocumentTitle = match.captured(1).trimmed();
    for (auto it = section.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        help.Topics.insert(match.captured(1), match.captured(2));
    }
    return help;
}

QString THelpFile::ContextTopic(int context) {
    return QStringLiteral("ctx-%1").arg(context);
}

QString THelpFile::TopicDocument(const QString& id) const {
    const auto topic = Topics.constFind(id);
    if (topic == Topics.constEnd())
        return {};
    return QStringLiteral("<html><head>") + Head + QStringLiteral("</head><body>") + *topic +
           QStringLiteral("</body></html>");
}

} // namespace platform
