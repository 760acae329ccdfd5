#pragma once
// The rules for the POP3 account fields, as the wizard's account page applies them: what makes
// an account that a check can use, the short hint shown beside a field that is wrong, the
// characters no field may take, and how the port follows the connection security.
#include <QString>
#include <QStringList>
#include <QValidator>

enum class TAccountField { Server, Port, Account, Password };

// The hint beside a field whose text a check cannot use, or an empty string when the text will
// do. Server and login name must hold more than blanks, the password must not be empty, and the
// port must be empty (the standard port) or a number from 1 to 65535 written in digits.
QString AccountFieldHint(TAccountField field, const QString& text);

// Every hint AccountFieldHint gives.
QStringList AccountFieldHints();

// Whether every field will do.
bool AccountFieldsComplete(const QString& server, const QString& port, const QString& account,
                           const QString& password);

// The port of a POP3 account after the security has been changed to Security, an item index of
// "ComboBoxPOP3Security" (0 None, 1 SSL/TLS, 2 STARTTLS): SSL/TLS turns 110 into 995, None and
// STARTTLS turn 995 into 110, any other port is kept as typed (PortAfterChoice,
// account/AccountFill.h, for either server type).
QString PortForSecurity(int security, const QString& port);

// Keeps CR, LF and NUL out of a line edit however they come (typed or pasted): they are dropped
// and the rest of the input is taken, so that a password pasted with the line end it was copied
// with still arrives. Such a character in a server, login name or password would end the
// command line it is sent in and start another. A text set by the program is not checked
// (QLineEdit does not validate setText): stored values come back as they were.
class TAccountFieldValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};
