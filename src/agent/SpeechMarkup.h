#pragma once
// Speech markup: turns a text as the program writes it into the SSML that the
// synthesiser speaks and the plain text that the balloon shows. This is the
// one stage every spoken text passes through.
//
// Tags are written between backslashes and are matched without regard to case:
//   \map="spoken"="shown"\   speaks the first text, shows the second
//   \pau=N\                   a pause of N milliseconds (capped at 10 s)
//   \Emp\                     the next word is spoken with emphasis: one word as
//                             the balloon shows it (up to the next blank), which
//                             may be said as several (a clock time, an address);
//                             it waits across other tags for that word
//   \Ctx=e-mail\              what follows is mail text (a sender, a subject).
//                             Up to the next tag, addresses are read as words
//                             ("a dot b at example dot org") and brackets and
//                             quotes are not read out; up to \Ctx=normal\ (or
//                             the end) nothing in it is read as a clock time.
//   \Ctx=normal\              back to ordinary text
//   \\                        one literal backslash, shown and spoken
// Anything else that starts with a backslash is not obeyed: the backslash and
// what follows it are shown and spoken as plain text. Every piece of text is
// XML-escaped before it enters the SSML, so no input can inject markup; mail
// text doubles its backslashes, so it cannot write a tag either.
//
// Outside mail text every clock time is spoken in words while the balloon
// keeps its digits: "The time is 11:00" is heard as "The time is eleven
// o'clock A.M." (SpokenTime.h).
//
// Pure functions, no state, no exceptions.
#include "agent/SpokenTime.h"

#include <QString>
#include <vector>

struct TSpeechMarkup {
    QString Ssml;  // a complete <speak> document
    QString Shown; // what the balloon shows once everything has been said
    // The words the voice says, as plain text (for the request log).
    QString Spoken;
    // For each Unicode code point of Ssml, the index into Shown (UTF-16 units)
    // of the shown text that the code point stands for; markup maps to the
    // point where the next shown text begins.
    std::vector<int> ShownAt;
    // Ssml with a <mark name="wN"/> before every spoken word, for engines that
    // report marks instead of word positions; MarkReveal[N] is how much of
    // Shown to reveal when mark "wN" is reached.
    QString MarkedSsml;
    std::vector<int> MarkReveal;

    // How much of Shown to reveal once the synthesiser reports a word at
    // textPosition (1-based code point index into Ssml, as the engine counts)
    // with the given length: up to the end of that shown word.
    int RevealEnd(int textPosition, int length) const;
    // How much of Shown to reveal at the mark of that name; -1 for a name
    // that is not one of ours.
    int RevealAtMark(const QString& name) const;
};

TSpeechMarkup TranslateSpeechMarkup(const QString& text, const TClockStyle& clock = TClockStyle());

// The words a person says for an e-mail address or a name written in e-mail
// form: "jane.doe@example.org" -> "jane dot doe at example dot org".
QString SpokenEmailText(const QString& text);
