#include "platform/help/HelpFile.h"

#include "platform/PlatformTexts.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <QRegularExpression>

#include <unistd.h>

namespace platform {

std::optional<THelpFile> THelpFile::Load(const QString& path) {
    // A named pipe in the file's place would make opening it wait for a writer.
    const int fd = OpenRegularFileForReading(QFile::encodeName(path).toStdString());
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }
    return Parse(QString::fromUtf8(file.readAll()));
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
