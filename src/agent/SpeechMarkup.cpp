#include "agent/SpeechMarkup.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

// A code point that XML 1.0 cannot carry even as a character reference.
bool IsForbiddenInXml(char32_t c) {
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF ||
           (c >= 0xD800 && c <= 0xDFFF);
}

QString EscapeCodePoint(char32_t c) {
    switch (c) {
    case '&':
        return QStringLiteral("&amp;");
    case '<':
        return QStringLiteral("&lt;");
    case '>':
        return QStringLiteral("&gt;");
    case '"':
        return QStringLiteral("&quot;");
    case '\'':
        return QStringLiteral("&apos;");
    default:
        if (IsForbiddenInXml(c))
            return QStringLiteral(" ");
        return QString::fromUcs4(&c, 1);
    }
}

class TBuilder {
public:
    TSpeechMarkup Result;

    void Markup(const QString& markup) {
        const int shownIndex = int(Result.Shown.size());
        for (char32_t c : markup.toUcs4()) {
            Result.Ssml += QString::fromUcs4(&c, 1);
            Result.ShownAt.push_back(shownIndex);
        }
    }

    void Text(const QString& text) {
        for (char32_t c : text.toUcs4()) {
            const int shownIndex = int(Result.Shown.size());
            const QString escaped = EscapeCodePoint(c);
            Result.Ssml += escaped;
            Result.ShownAt.insert(Result.ShownAt.end(), size_t(escaped.toUcs4().size()),
                                  shownIndex);
            Result.Shown += QString::fromUcs4(&c, 1);
        }
    }

    // Speaks `spoken` while the balloon shows `shown`. The engine reports no
    // words inside <sub>, so the balloon catches up at the next spoken word.
    void Substitute(const QString& spoken, const QString& shown) {
        QString alias;
        for (char32_t c : spoken.toUcs4())
            alias += EscapeCodePoint(c);
        Markup(QStringLiteral("<sub alias=\"") + alias + QStringLiteral("\">"));
        Text(shown);
        Markup(QStringLiteral("</sub>"));
    }

    void EmailText(const QString& text) {
        // Whitespace and ordinary words go through as they are so the balloon
        // keeps step word by word; only tokens that need other words are replaced.
        static const QRegularExpression token(QStringLiteral("\\S+"));
        static const QRegularExpression needsWords(QStringLiteral("[@<>\"()\\[\\]{}_+]"));
        qsizetype done = 0;
        for (const auto& match : token.globalMatch(text)) {
            Text(text.mid(done, match.capturedStart() - done));
            const QString word = match.captured();
            if (word.contains(needsWords))
                Substitute(SpokenEmailText(word), word);
            else
                Text(word);
            done = match.capturedEnd();
        }
        Text(text.mid(done));
    }
};

} // namespace

QString SpokenEmailText(const QString& text) {
    QString spoken;
    auto isWordChar = [](QChar c) { return c.isLetterOrNumber(); };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool between =
            i > 0 && i + 1 < text.size() && isWordChar(text[i - 1]) && isWordChar(text[i + 1]);
        if (QStringLiteral("<>\"()[]{}").contains(c))
            spoken += ' ';
        else if (c == '@')
            spoken += QStringLiteral(" at ");
        else if (c == '.' && between)
            spoken += QStringLiteral(" dot ");
        else if (c == '_')
            spoken += QStringLiteral(" underscore ");
        else if (c == '-' && between)
            spoken += QStringLiteral(" dash ");
        else if (c == '+')
            spoken += QStringLiteral(" plus ");
        else
            spoken += c;
    }
    return spoken.simplified();
}

TSpeechMarkup TranslateSpeechMarkup(const QString& text) {
    static const QRegularExpression mapTag(QStringLiteral("^map=\"([^\"]*)\"=\"([^\"]*)\"$"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression pauseTag(QStringLiteral("^pau=([0-9]{1,9})$"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression contextTag(
        QStringLiteral("^ctx=(e-mail|email|normal|unknown)$"),
        QRegularExpression::CaseInsensitiveOption);
    constexpr int MaxPauseMs = 10000;

    TBuilder out;
    out.Markup(QStringLiteral("<speak>"));
    bool emailContext = false;
    QString pending;
    auto flush = [&] {
        if (emailContext)
            out.EmailText(pending);
        else
            out.Text(pending);
        pending.clear();
    };

    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != '\\') {
            pending += text[i++];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            pending += '\\';
            i += 2;
            continue;
        }
        const qsizetype close = text.indexOf('\\', i + 1);
        const QString body = close < 0 ? QString() : text.mid(i + 1, close - i - 1);
        if (const auto m = mapTag.match(body); close >= 0 && m.hasMatch()) {
            flush();
            emailContext = false;
            out.Substitute(m.captured(1), m.captured(2));
        } else if (const auto p = pauseTag.match(body); close >= 0 && p.hasMatch()) {
            flush();
            emailContext = false;
            const int ms = std::min(p.captured(1).toInt(), MaxPauseMs);
            out.Markup(QStringLiteral("<break time=\"%1ms\"/>").arg(ms));
        } else if (const auto c = contextTag.match(body); close >= 0 && c.hasMatch()) {
            flush();
            emailContext = c.captured(1).startsWith('e', Qt::CaseInsensitive);
        } else {
            // Not one of ours: the backslash is plain text, and scanning goes on
            // right after it so a real tag further on is still found.
            pending += '\\';
            ++i;
            continue;
        }
        i = close + 1;
    }
    flush();
    out.Markup(QStringLiteral("</speak>"));
    return std::move(out.Result);
}

int TSpeechMarkup::RevealEnd(int textPosition, int length) const {
    if (ShownAt.empty())
        return int(Shown.size());
    const qsizetype last = std::clamp<qsizetype>(
        qsizetype(textPosition) - 1 + std::max(length, 1) - 1, 0, qsizetype(ShownAt.size()) - 1);
    qsizetype end = std::min<qsizetype>(ShownAt[size_t(last)] + 1, Shown.size());
    while (end < Shown.size() && !Shown[end].isSpace())
        ++end;
    return int(end);
}
