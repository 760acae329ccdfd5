#include "tray/TrayCommands.h"

QString CleanEmailClientPath(const QString& text) {
    const QChar quote = QLatin1Char('"');
    if (!text.startsWith(quote))
        return text;
    QString path;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] != quote) {
            path.append(text[i]);
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == quote) {
            path.append(quote);
            ++i;
            continue;
        }
        break; // the closing quote; what follows it is dropped
    }
    return path;
}

int HelpContextForPage(const QString& pageCaption) {
    if (pageCaption == QLatin1String("General"))
        return hcGeneral;
    if (pageCaption == QLatin1String("Time"))
        return hcTime;
    if (pageCaption == QLatin1String("Notification"))
        return hcNotification;
    if (pageCaption == QLatin1String("E-mail Server"))
        return hcEmailServer;
    if (pageCaption == QLatin1String("E-mail Options"))
        return hcEmailOptions;
    return hcContents;
}
