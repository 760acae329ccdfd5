#include "wizard/AccountRules.h"

#include "account/AccountFill.h"

namespace {

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

QString RequiredHint() {
    return QStringLiteral("Required");
}

QString PortHint() {
    return QStringLiteral("1 to 65535");
}

bool IsLineBreakOrNul(QChar c) {
    return c == u'\r' || c == u'\n' || c == u'\0';
}

} // namespace

QString AccountFieldHint(TAccountField field, const QString& text) {
    switch (field) {
    case TAccountField::Server:
    case TAccountField::Account:
        return text.trimmed().isEmpty() ? RequiredHint() : QString();
    case TAccountField::Password:
        return text.isEmpty() ? RequiredHint() : QString();
    case TAccountField::Port:
        return PortWillDo(text) ? QString() : PortHint();
    }
    return {};
}

QStringList AccountFieldHints() {
    return {RequiredHint(), PortHint()};
}

bool AccountFieldsComplete(const QString& server, const QString& port, const QString& account,
                           const QString& password) {
    return AccountFieldHint(TAccountField::Server, server).isEmpty() &&
           AccountFieldHint(TAccountField::Port, port).isEmpty() &&
           AccountFieldHint(TAccountField::Account, account).isEmpty() &&
           AccountFieldHint(TAccountField::Password, password).isEmpty();
}

QString PortForSecurity(int security, const QString& port) {
    return PortAfterChoice(port, TServerType::POP3, TWinshoeSecurity(security));
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
