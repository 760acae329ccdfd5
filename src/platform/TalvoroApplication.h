#pragma once
// The application object. An exception that escapes an event handler is
// shown in the framework's default error report (an error box captioned with
// the application title) and the program goes on, as every handler of the
// program relies on.
#include <QApplication>
#include <functional>

namespace platform {

class TTalvoroApplication : public QApplication {
    Q_OBJECT
public:
    TTalvoroApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows an error the way an escaped exception is shown. Used by code
    // that catches at a boundary Qt itself does not pass through.
    static void ReportException(const std::exception_ptr& error);
};

} // namespace platform
