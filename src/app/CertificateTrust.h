#pragma once
// TCertificateTrust: the one certificate the user chose to trust for the account's server
// ("server fingerprint", stored as "POP3TrustedCertificate"), the line that shows it on the
// E-mail Server page with its Forget button, and the question that offers to trust a refused
// certificate. Window thread only.
#include <QObject>
#include <QString>

class QLabel;
class QPushButton;
struct TTrustedCertificate;

class TCertificateTrust : public QObject {
    Q_OBJECT
public:
    TCertificateTrust(QLabel* line, QPushButton* forget, QObject* parent);

    // Empty while no certificate is trusted.
    const QString& Value() const { return FValue; }
    // Shows the value (the line and the button only while there is one); Changed when it
    // differs from the one before.
    void Set(const QString& value);

    // Asks whether to trust the certificate a check refused, after the check's error text. No is
    // the question's default, since Yes stops the certificate's checks for this server. True
    // when the user said Yes; the certificate is then the trusted one.
    bool Offer(const TTrustedCertificate& refused, const QString& errorText);

signals:
    void Changed();

private:
    QLabel* Line;
    QPushButton* Forget;
    QString FValue;
};
