#include "app/AccountFields.h"

QString PortAfterSecurityChoice(const QString& port, int security) {
    const QString typed = port.trimmed();
    if (security == psecSslTls && typed == QLatin1String("110"))
        return QStringLiteral("995");
    if ((security == psecNone || security == psecStartTls) && typed == QLatin1String("995"))
        return QStringLiteral("110");
    return port;
}

QValidator::State TSingleLineValidator::validate(QString& input, int& /*position*/) const {
    for (const QChar c : input) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            return Invalid;
    }
    return Acceptable;
}
