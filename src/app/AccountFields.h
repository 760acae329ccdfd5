#pragma once
// Rules of the account fields on the E-mail Server page that need no window.
#include <QString>
#include <QValidator>

#include <cstdint>
#include <string>

// The server types, as stored in "ComboBoxMailProtocol" (the item index).
enum TMailProtocol { mpPop3 = 0, mpImap = 1 };

// The security choices, as stored in "ComboBoxPOP3Security" (the item index).
enum TPop3Security { psecNone = 0, psecSslTls = 1, psecStartTls = 2 };

// The port a connection uses: the field's number (1 to 65535), else for POP3 110 whatever the
// security (as it always was), for IMAP its usual port.
uint16_t MailPort(const std::string& text, int protocol, int security);

// Refuses text that holds a line break or a NUL (CR, LF, NUL), typed or pasted: such a
// character in a server name, port, login name or password would end a protocol command early
// and start another one.
class TSingleLineValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};
