#include "platform/TalvoroApplication.h"

#include "platform/MessageBox.h"

#include <exception>

namespace platform {

TTalvoroApplication::TTalvoroApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TTalvoroApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportException(std::current_exception());
        return true;
    }
}

void TTalvoroApplication::ReportException(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        ShowErrorReport(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorReport(QStringLiteral("Unknown error."));
    }
}

} // namespace platform
