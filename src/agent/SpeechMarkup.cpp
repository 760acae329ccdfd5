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
    explicit TBuilder(const TClockStyle& clock) : Clock(clock) {}

    TSpeechMarkup Result;

    void Markup(const QString& markup) {
        AddSsml(markup, ShownSize());
        AtWordStart = true;
    }

    // Shown and spoken as it is.
    void Text(const QString& text) {
        for (char32_t c : text.toUcs4()) {
            const int shownIndex = ShownSize();
            const bool space = QChar::isSpace(c);
            if (!space && AtWordStart && !InSub)
                Mark(shownIndex, -1);
            AtWordStart = space;
            AddSsml(EscapeCodePoint(c), shownIndex);
            const QString character = QString::fromUcs4(&c, 1);
            Result.Shown += character;
            if (!InSub)
                Result.Spoken += IsForbiddenInXml(c) ? QStringLiteral(" ") : character;
        }
    }

    // Ordinary text: clock times in it are spoken in words unless it is mail text.
    void PlainText(const QString& text, bool sayTimesInWords) {
        if (!sayTimesInWords) {
            Text(text);
            return;
        }
        qsizetype done = 0;
        for (const TClockTimeMatch& time : FindClockTimes(text, Clock)) {
            Text(text.mid(done, time.Start - done));
            SpokenAs(time.Words, text.mid(time.Start, time.Length));
            done = time.Start + time.Length;
        }
        Text(text.mid(done));
    }

    // Speaks `spoken` while the balloon shows `shown`. The engine reports no
    // words inside <sub>, so the balloon catches up at the next spoken word.
    void Substitute(const QString& spoken, const QString& shown) {
        QString alias;
        for (char32_t c : spoken.toUcs4())
            alias += EscapeCodePoint(c);
        const int start = ShownSize();
        Mark(start, start + int(shown.size()));
        Markup(QStringLiteral("<sub alias=\"") + alias + QStringLiteral("\">"));
        Result.Spoken += spoken;
        InSub = true;
        Text(shown);
        InSub = false;
        Markup(QStringLiteral("</sub>"));
    }

    // Speaks `words` in the SSML itself while the balloon shows `shown`:
    // unlike <sub>, the engine reports these words, and each of them reveals
    // all of `shown`, so the balloon keeps step with the voice.
    void SpokenAs(const QString& words, const QString& shown) {
        const int start = ShownSize();
        const int end = start + int(shown.size());
        Mark(start, end);
        for (char32_t c : words.toUcs4())
            AddSsml(EscapeCodePoint(c), end - 1);
        Result.Shown += shown;
        Result.Spoken += words;
        AtWordStart = false;
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

    TSpeechMarkup Finish() {
        const QString& shown = Result.Shown;
        for (const auto& [start, end] : FMarks) {
            int reveal = end;
            if (reveal < 0) {
                reveal = std::min(start + 1, int(shown.size()));
                while (reveal < shown.size() && !shown[reveal].isSpace())
                    ++reveal;
            }
            Result.MarkReveal.push_back(reveal);
        }
        return std::move(Result);
    }

private:
    int ShownSize() const { return int(Result.Shown.size()); }

    // Appends SSML whose every code point stands for the shown text at shownIndex.
    void AddSsml(const QString& ssml, int shownIndex) {
        Result.Ssml += ssml;
        Result.MarkedSsml += ssml;
        Result.ShownAt.insert(Result.ShownAt.end(), size_t(ssml.toUcs4().size()), shownIndex);
    }

    // A mark in MarkedSsml that reveals the shown text from `start` to `end`
    // (-1: to the end of the shown word that begins at `start`).
    void Mark(int start, int end) {
        Result.MarkedSsml += QStringLiteral("<mark name=\"w%1\"/>").arg(FMarks.size());
        FMarks.emplace_back(start, end);
    }

    const TClockStyle& Clock;
    std::vector<std::pair<int, int>> FMarks;
    bool AtWordStart = true;
    bool InSub = false;
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

TSpeechMarkup TranslateSpeechMarkup(const QString& text, const TClockStyle& clock) {
    static const QRegularExpression mapTag(QStringLiteral("^map=\"([^\"]*)\"=\"([^\"]*)\"$"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression pauseTag(QStringLiteral("^pau=([0-9]{1,9})$"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression emphasisTag(QStringLiteral("^emp$"),
                                                QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression contextTag(
        QStringLiteral("^ctx=(e-mail|email|normal|unknown)$"),
        QRegularExpression::CaseInsensitiveOption);
    constexpr int MaxPauseMs = 10000;

    TBuilder out(clock);
    out.Markup(QStringLiteral("<speak>"));
    bool addressContext = false; // addresses read as words, up to the next tag
    bool mailText = false;       // no clock times, up to \Ctx=normal\ or the end
    bool emphasis = false;       // \Emp\ waits for the next word
    QString pending;
    auto say = [&](const QString& part) {
        if (addressContext)
            out.EmailText(part);
        else
            out.PlainText(part, !mailText);
    };
    auto flush = [&] {
        // The word is found with the blanks the balloon's words are made of, so the emphasis
        // covers one shown word and never reaches into the next.
        qsizetype start = 0;
        while (start < pending.size() && pending[start].isSpace())
            ++start;
        qsizetype end = start;
        while (end < pending.size() && !pending[end].isSpace())
            ++end;
        if (emphasis && end > start) {
            say(pending.left(start));
            out.Markup(QStringLiteral("<emphasis>"));
            say(pending.mid(start, end - start));
            out.Markup(QStringLiteral("</emphasis>"));
            say(pending.mid(end));
            emphasis = false;
        } else {
            say(pending);
        }
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
            addressContext = false;
            out.Substitute(m.captured(1), m.captured(2));
        } else if (const auto p = pauseTag.match(body); close >= 0 && p.hasMatch()) {
            flush();
            addressContext = false;
            const int ms = std::min(p.captured(1).toInt(), MaxPauseMs);
            out.Markup(QStringLiteral("<break time=\"%1ms\"/>").arg(ms));
        } else if (close >= 0 && emphasisTag.match(body).hasMatch()) {
            flush();
            emphasis = true;
        } else if (const auto c = contextTag.match(body); close >= 0 && c.hasMatch()) {
            flush();
            addressContext = mailText = c.captured(1).startsWith('e', Qt::CaseInsensitive);
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
    return out.Finish();
}

int TSpeechMarkup::RevealAtMark(const QString& name) const {
    if (!name.startsWith(u'w'))
        return -1;
    bool ok = false;
    const qsizetype index = name.mid(1).toLongLong(&ok);
    if (!ok || index < 0 || index >= qsizetype(MarkReveal.size()))
        return -1;
    return MarkReveal[size_t(index)];
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
