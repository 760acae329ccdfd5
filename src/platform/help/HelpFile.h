#pragma once
// The program's help file, read into its topics.
//
// The file is an HTML document. Each topic is a <section> whose id names it;
// a topic opened by a help context number N has the id "ctx-N", and the
// table of contents is the section with the id "contents". A link to
// "#<id>" leads from one topic to another. Anything outside the sections
// (the title, the style sheet) is shared by every topic. A caption that
// this platform words its own way is written as its key in the wording
// table, "{{StartAtLogin}}" (platform/PlatformTexts.h), and shown as the
// window shows it.
#include <QMap>
#include <QString>
#include <optional>

namespace platform {

class THelpFile {
public:
    // Reads and splits the file; nullopt when it cannot be read.
    static std::optional<THelpFile> Load(const QString& path);
    // Splits a document already in memory, its placeholders filled in.
    static THelpFile Parse(const QString& source);

    // The id of the topic for a help context number: "ctx-" + number.
    static QString ContextTopic(int context);
    static QString ContentsTopic() { return QStringLiteral("contents"); }

    bool HasTopic(const QString& id) const { return Topics.contains(id); }
    QStringList TopicIds() const { return Topics.keys(); }
    // A whole HTML document showing only this topic; empty for an unknown id.
    QString TopicDocument(const QString& id) const;
    QString Title() const { return DocumentTitle; }

private:
    QMap<QString, QString> Topics;
    QString Head;
    QString DocumentTitle;
};

} // namespace platform
