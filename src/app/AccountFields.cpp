#include "app/AccountFields.h"

#include "mail/MailCheckControl.h"

int UsualPort(int protocol, int security) {
    const bool tls = security == psecSslTls;
    if (protocol == mpImap)
        return tls ? 993 : 143;
    return tls ? 995 : 110;
}

QString PortAfterAccountChoice(const QString& port, int oldProtocol, int protocol, int security) {
    const QString typed = port.trimmed();
    for (const int type : {oldProtocol, protocol}) {
        for (const int choice : {psecNone, psecSslTls}) {
            if (typed == QString::number(UsualPort(type, choice)))
                return QString::number(UsualPort(protocol, security));
        }
    }
    return port;
}

uint16_t MailPort(const std::string& text, int protocol, int security) {
    if (protocol != mpImap)
        return PortFromText(text);
    const bool number = !text.empty() && text.size() <= 5 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const unsigned long value = number ? std::stoul(text) : 0;
    return value >= 1 && value <= 65535 ? uint16_t(value) : uint16_t(UsualPort(protocol, security));
}

QValidator::State TSingleLineValidator::validate(QString& input, int& /*position*/) const {
    for (const QChar c : input) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            return Invalid;
    }
    return Acceptable;
}
