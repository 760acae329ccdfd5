// The keyring module: QtKeychain's jobs run on a thread of their own and
// answer through the caller's callback. QtKeychain binds its job queue to the
// thread that first uses it, so it is always the same thread; with Qt's GLib
// event loop that thread also runs libsecret's callbacks and the probe's.
#include "platform/keyring/KeyringBackend.h"

// Before Qt's headers, which define "signals" as a word of their own.
#include <gio/gio.h>

#include <QObject>
#include <QThread>

#include <qt6keychain/keychain.h>

#include <exception>
#include <memory>

namespace {

using platform::IKeyringBackend;
using platform::TKeyringReply;
using platform::TKeyringStatus;
using TDone = IKeyringBackend::TDone;

const char* const SecretsService = "org.freedesktop.secrets";
// How long a failed job's cause is looked for.
constexpr int DiagnosisTimeoutMs = 5000;

// A request reaches the keyring thread through Qt's event queue, under a lock that
// ThreadSanitizer cannot see; HandOver and TakeOver tell it that what the caller made
// before the hand-over is there for the keyring thread. Without the sanitizer these do
// nothing.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
void HandOver(void* token) {
    __tsan_release(token);
}
void TakeOver(void* token) {
    __tsan_acquire(token);
}
#else
void HandOver(void*) {}
void TakeOver(void*) {}
#endif

void Answer(const TDone& done, const TKeyringReply& reply) {
    try {
        done(reply);
    } catch (...) {
        // The caller's own failure stays on its side of the boundary.
    }
}

bool TimedOut(const GError* error) {
    return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMED_OUT);
}

// Asks the Secret Service directly, over the GLib connection that libsecret uses, whether it
// is there, answers, and is locked: QtKeychain reports a locked keyring, a missing one and one
// that does not answer alike. Two calls in a row, each with the deadline, answered on the
// calling thread's GLib context.
class TProbe {
public:
    static void Start(int timeoutMs, std::function<void(TKeyringStatus)> done) {
        GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (bus == nullptr) {
            done(TKeyringStatus::NoKeyring);
            return;
        }
        auto* probe = new TProbe{bus, timeoutMs, std::move(done)};
        g_dbus_connection_call(
            bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "NameHasOwner", g_variant_new("(s)", SecretsService), G_VARIANT_TYPE("(b)"),
            G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr, &OwnerFound, probe);
    }

    ~TProbe() { g_object_unref(Bus); }

private:
    TProbe(GDBusConnection* bus, int timeoutMs, std::function<void(TKeyringStatus)> done)
        : Bus(bus), TimeoutMs(timeoutMs), Done(std::move(done)) {}

    static void Finish(TProbe* probe, TKeyringStatus status) {
        const std::unique_ptr<TProbe> owned(probe);
        owned->Done(status);
    }

    static void OwnerFound(GObject*, GAsyncResult* result, gpointer data) {
        auto* probe = static_cast<TProbe*>(data);
        GVariant* owned = g_dbus_connection_call_finish(probe->Bus, result, nullptr);
        gboolean hasOwner = FALSE;
        if (owned != nullptr) {
            g_variant_get(owned, "(b)", &hasOwner);
            g_variant_unref(owned);
        }
        if (!hasOwner) {
            Finish(probe, TKeyringStatus::NoKeyring);
            return;
        }
        g_dbus_connection_call(probe->Bus, SecretsService,
                               "/org/freedesktop/secrets/aliases/default",
                               "org.freedesktop.DBus.Properties", "Get",
                               g_variant_new("(ss)", "org.freedesktop.Secret.Collection", "Locked"),
                               G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                               probe->TimeoutMs, nullptr, &LockedFound, probe);
    }

    static void LockedFound(GObject*, GAsyncResult* result, gpointer data) {
        auto* probe = static_cast<TProbe*>(data);
        GError* error = nullptr;
        GVariant* locked = g_dbus_connection_call_finish(probe->Bus, result, &error);
        if (locked == nullptr) {
            // A service that answers without a default keyring has nowhere to keep the password.
            const bool silent = TimedOut(error);
            g_error_free(error);
            Finish(probe, silent ? TKeyringStatus::TimedOut : TKeyringStatus::NoKeyring);
            return;
        }
        GVariant* value = nullptr;
        g_variant_get(locked, "(v)", &value);
        const bool isLocked = value != nullptr &&
                              g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) &&
                              g_variant_get_boolean(value);
        if (value != nullptr)
            g_variant_unref(value);
        g_variant_unref(locked);
        Finish(probe, isLocked ? TKeyringStatus::Locked : TKeyringStatus::Ok);
    }

    GDBusConnection* Bus;
    int TimeoutMs;
    std::function<void(TKeyringStatus)> Done;
};

// A finished job's answer: what failed is told by the probe.
void AnswerJob(const QKeychain::Job& job, TDone done, bool missingIsOk) {
    TKeyringReply reply;
    reply.Detail = job.errorString().toStdString();
    const QKeychain::Error error = job.error();
    if (error == QKeychain::NoError) {
        reply.Status = TKeyringStatus::Ok;
        reply.Detail.clear();
        if (const auto* read = qobject_cast<const QKeychain::ReadPasswordJob*>(&job))
            reply.Password = read->binaryData().toStdString();
        Answer(done, reply);
        return;
    }
    if (error == QKeychain::NoBackendAvailable) {
        reply.Status = TKeyringStatus::NoKeyring;
        Answer(done, reply);
        return;
    }
    TProbe::Start(DiagnosisTimeoutMs, [reply, error, missingIsOk,
                                       done = std::move(done)](TKeyringStatus found) mutable {
        switch (error) {
        case QKeychain::EntryNotFound:
            // A locked keyring hides its entries.
            reply.Status =
                found == TKeyringStatus::Locked ? TKeyringStatus::Locked : TKeyringStatus::NotFound;
            if (reply.Status == TKeyringStatus::NotFound && missingIsOk)
                reply = {TKeyringStatus::Ok, {}, {}};
            break;
        case QKeychain::AccessDeniedByUser:
        case QKeychain::AccessDenied:
            reply.Status = found == TKeyringStatus::Ok ? TKeyringStatus::Denied : found;
            break;
        default:
            reply.Status = found == TKeyringStatus::Ok ? TKeyringStatus::Failed : found;
            break;
        }
        Answer(done, reply);
    });
}

bool IsUtf8(const std::string& bytes) {
    const QByteArray data = QByteArray::fromStdString(bytes);
    return QString::fromUtf8(data).toUtf8() == data;
}

class TKeyringModule final : public IKeyringBackend {
public:
    TKeyringModule() {
        Thread.setObjectName(QStringLiteral("keyring"));
        Thread.start();
        Context.moveToThread(&Thread);
    }
    // Never destroyed: the module stays loaded for the life of the process.
    ~TKeyringModule() override = default;

    void Read(const std::string& service, const std::string& key, TDone done) override {
        Post({service, key, {}, std::move(done)}, [](TRequest& request) {
            auto* job = new QKeychain::ReadPasswordJob(QString::fromStdString(request.Service));
            Prepare(*job, request.Key);
            QObject::connect(job, &QKeychain::Job::finished,
                             [done = std::move(request.Done)](QKeychain::Job* finished) {
                                 AnswerJob(*finished, done, false);
                             });
            job->start();
        });
    }

    void Write(const std::string& service, const std::string& key, const std::string& password,
               TDone done) override {
        Post({service, key, password, std::move(done)}, [](TRequest& request) {
            auto* job = new QKeychain::WritePasswordJob(QString::fromStdString(request.Service));
            Prepare(*job, request.Key);
            if (IsUtf8(request.Password))
                job->setTextData(QString::fromStdString(request.Password));
            else
                job->setBinaryData(QByteArray::fromStdString(request.Password));
            QObject::connect(job, &QKeychain::Job::finished,
                             [done = std::move(request.Done)](QKeychain::Job* finished) {
                                 AnswerJob(*finished, done, false);
                             });
            job->start();
        });
    }

    void Remove(const std::string& service, const std::string& key, TDone done) override {
        Post({service, key, {}, std::move(done)}, [](TRequest& request) {
            auto* job = new QKeychain::DeletePasswordJob(QString::fromStdString(request.Service));
            Prepare(*job, request.Key);
            QObject::connect(job, &QKeychain::Job::finished,
                             [done = std::move(request.Done)](QKeychain::Job* finished) {
                                 AnswerJob(*finished, done, true);
                             });
            job->start();
        });
    }

    void Probe(int timeoutMs, TDone done) override {
        Post({{}, {}, {}, std::move(done)}, [timeoutMs](TRequest& request) {
            TProbe::Start(timeoutMs, [done = std::move(request.Done)](TKeyringStatus status) {
                Answer(done, {status, {}, {}});
            });
        });
    }

private:
    struct TRequest {
        std::string Service;
        std::string Key;
        std::string Password;
        TDone Done;
    };

    static void Prepare(QKeychain::Job& job, const std::string& key) {
        job.setAutoDelete(true);
        // Never a plain file when there is no keyring.
        job.setInsecureFallback(false);
        job.setKey(QString::fromStdString(key));
    }

    // The request goes to the keyring thread, which owns it from then on.
    void Post(TRequest request, std::function<void(TRequest&)> start) {
        auto* handed = new TRequest(std::move(request));
        HandOver(handed);
        QMetaObject::invokeMethod(
            &Context,
            [handed, start = std::move(start)] {
                TakeOver(handed);
                const std::unique_ptr<TRequest> owned(handed);
                // Kept aside: Start moves Done into the job's answer.
                const TDone done = owned->Done;
                try {
                    start(*owned);
                } catch (const std::exception& error) {
                    Answer(done, {TKeyringStatus::Failed, {}, error.what()});
                } catch (...) {
                    Answer(done, {TKeyringStatus::Failed, {}, "unknown error"});
                }
            },
            Qt::QueuedConnection);
    }

    QThread Thread;
    QObject Context;
};

} // namespace

// libsecret talks over GLib's own connection to the session bus, which by
// default sends the process SIGTERM when the bus goes away. A lost bus is a
// keyring that no longer answers, nothing more.
static void KeepRunningWithoutTheBus() {
    // GLib holds the shared connection only weakly: this reference keeps it,
    // and its setting, for the life of the process.
    if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr))
        g_dbus_connection_set_exit_on_close(bus, FALSE);
}

extern "C" __attribute__((visibility("default"))) platform::IKeyringBackend*
TalvoroKeyringBackend() {
    try {
        static const bool unused = (KeepRunningWithoutTheBus(), true);
        (void)unused;
        static TKeyringModule* const module = new TKeyringModule;
        return module;
    } catch (...) {
        return nullptr;
    }
}
