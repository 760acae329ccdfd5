#include "app/AccountFields.h"

#include "account/AccountSettings.h"
#include "mail/MailCheckControl.h"

uint16_t MailPort(const std::string& text, int protocol, int security) {
    if (protocol != mpImap)
        return PortFromText(text);
    const bool number = !text.empty() && text.size() <= 5 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const unsigned long value = number ? std::stoul(text) : 0;
    return value >= 1 && value <= 65535
               ? uint16_t(value)
               : uint16_t(DefaultPort(TServerType::IMAP, TWinshoeSecurity(security)));
}

QValidator::State TSingleLineValidator::validate(QString& input, int& /*position*/) const {
    for (const QChar c : input) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0))
            return Invalid;
    }
    return Acceptable;
}
