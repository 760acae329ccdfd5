#include "wizard/AccountRules.h"

namespace {

enum TSecurity : int { SecurityNone = 0, SecuritySslTls = 1, SecurityStartTls = 2 };

bool PortWillDo(const QString& port) {
    if (port.isEmpty())
        return true;
    if (port.size() > 5)
        return false;
    int value = 0;
    for (QChar c : port) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value >= 1 && value <= 65535;
}

bool IsLineBreakOrNul(QChar c) {
    return c == u'\r' || c == u'\n' || c == u'\0';
}

} // namespace

QString AccountFieldHint(TAccountField field, const QString& text) {
    switch (field) {
    case TAccountField::Server:
    case TAccountField::Account:
        return text.trimmed().isEmpty() ? QStringLiteral("Required") : QString();
    case TAccountField::Password:
        return text.isEmpty() ? QStringLiteral("Required") : QString();
    case TAccountField::Port:
        return PortWillDo(text) ? QString() : QStringLiteral("1 to 65535");
    }
    return {};
}

bool AccountFieldsComplete(const QString& server, const QString& port, const QString& account,
                           const QString& password) {
    return AccountFieldHint(TAccountField::Server, server).isEmpty() &&
           AccountFieldHint(TAccountField::Port, port).isEmpty() &&
           AccountFieldHint(TAccountField::Account, account).isEmpty() &&
           AccountFieldHint(TAccountField::Password, password).isEmpty();
}

QString PortForSecurity(int security, const QString& port) {
    if (security == SecuritySslTls && port == QLatin1String("110"))
        return QStringLiteral("995");
    if ((security == SecurityNone || security == SecurityStartTls) && port == QLatin1String("995"))
        return QStringLiteral("110");
    return port;
}

QValidator::State TAccountFieldValidator::validate(QString& input, int& pos) const {
    // Characters removed in front of the cursor move it back.
    int removedBefore = 0;
    for (int i = 0; i < pos && i < input.size(); ++i) {
        if (IsLineBreakOrNul(input[i]))
            ++removedBefore;
    }
    input.removeIf(IsLineBreakOrNul);
    pos -= removedBefore;
    return Acceptable;
}
