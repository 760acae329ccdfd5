#include "FuzzCheck.h"

#include <QtGlobal>

void SilenceQtMessages() {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}
