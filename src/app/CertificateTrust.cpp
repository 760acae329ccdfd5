#include "app/CertificateTrust.h"

#include "platform/MessageBox.h"
#include "pop3/TrustedCertificate.h"

#include <QLabel>
#include <QPushButton>

TCertificateTrust::TCertificateTrust(QLabel* line, QPushButton* forget, QObject* parent)
    : QObject(parent), Line(line), Forget(forget) {
    connect(Forget, &QPushButton::clicked, this, [this] { Set(QString()); });
    Set(QString());
}

void TCertificateTrust::Set(const QString& value) {
    const bool changed = value != FValue;
    FValue = value;
    const qsizetype blank = value.indexOf(QLatin1Char(' '));
    const QString server = blank < 0 ? value : value.left(blank);
    const QString fingerprint = blank < 0 ? QString() : value.mid(blank + 1);
    Line->setText(QStringLiteral("Certificate trusted for ") + server);
    Line->setToolTip(QStringLiteral("SHA-256 fingerprint: ") + fingerprint);
    Line->setVisible(!value.isEmpty());
    Forget->setVisible(!value.isEmpty());
    if (changed)
        emit Changed();
}

bool TCertificateTrust::Offer(const TTrustedCertificate& refused, const QString& errorText) {
    const QString server = QString::fromStdString(refused.Server);
    const QString text =
        errorText + QStringLiteral("\n\nTrust this certificate for ") + server +
        QStringLiteral(" from now on? Later checks will accept this certificate, and no other, "
                       "for this server.");
    if (platform::MessageDlg(text, platform::TMsgDlgType::Confirmation,
                             platform::mbYes | platform::mbNo | platform::mbDefaultNo) !=
        platform::TModalResult::Yes)
        return false;
    Set(QString::fromStdString(FormatTrustedCertificate(refused)));
    return true;
}
