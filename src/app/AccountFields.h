#pragma once
// Rules of the account fields on the E-mail Server page that need no window.
#include <QString>
#include <QValidator>

// The security choices, as stored in "ComboBoxPOP3Security" (the item index).
enum TPop3Security { psecNone = 0, psecSslTls = 1, psecStartTls = 2 };

// The port text after the user has chosen Security: choosing SSL/TLS while the port is the
// plain-text 110 gives 995; choosing None or STARTTLS while it is 995 gives 110. Any other text
// the user typed stays as it is.
QString PortAfterSecurityChoice(const QString& port, int security);

// Refuses text that holds a line break or a NUL (CR, LF, NUL), typed or pasted: such a
// character in a server name, port, login name or password would end a protocol command early
// and start another one.
class TSingleLineValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};
