#pragma once
// Speech markup: turns a text as the program writes it into the SSML that the
// synthesiser speaks and the plain text that the balloon shows.
//
// Tags are written between backslashes and are matched without regard to case:
//   \map="spoken"="shown"\   speaks the first text, shows the second
//   \pau=N\                   a pause of N milliseconds (capped at 10 s)
//   \Ctx=e-mail\              what follows, up to the next tag, is e-mail text:
//                             addresses are read as words ("a dot b at example
//                             dot org"), brackets and quotes are not read out
//   \Ctx=normal\              back to ordinary text
//   \\                        one literal backslash, shown and spoken
// Anything else that starts with a backslash is not obeyed: the backslash and
// what follows it are shown and spoken as plain text. Every piece of text is
// XML-escaped before it enters the SSML, so no input can inject markup.
//
// Pure functions, no state, no exceptions.
#include <QString>
#include <vector>

struct TSpeechMarkup {
    QString Ssml;  // a complete <speak> document
    QString Shown; // what the balloon shows once everything has been said
    // For each Unicode code point of Ssml, the index into Shown (UTF-16 units)
    // of the shown text that the code point stands for; markup maps to the
    // point where the next shown text begins.
    std::vector<int> ShownAt;

    // How much of Shown to reveal once the synthesiser reports a word at
    // textPosition (1-based code point index into Ssml, as the engine counts)
    // with the given length: up to the end of that shown word.
    int RevealEnd(int textPosition, int length) const;
};

TSpeechMarkup TranslateSpeechMarkup(const QString& text);

// The words a person says for an e-mail address or a name written in e-mail
// form: "jane.doe@example.org" -> "jane dot doe at example dot org".
QString SpokenEmailText(const QString& text);
