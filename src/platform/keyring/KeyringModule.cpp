// The keyring module: QtKeychain's jobs run on a thread of their own, each
// call waiting for its job's answer. QtKeychain binds its job queue to the
// thread that first uses it, so it is always the same thread; with Qt's GLib
// event loop that thread also runs libsecret's callbacks.
#include "platform/keyring/KeyringBackend.h"

// Before Qt's headers, which define "signals" as a word of their own.
#include <gio/gio.h>

#include <QObject>
#include <QThread>

#include <qt6keychain/keychain.h>

#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <thread>

namespace {

using platform::TKeyringReply;
using platform::TKeyringStatus;
using TPromise = std::shared_ptr<std::promise<TKeyringReply>>;

const char* const SecretsService = "org.freedesktop.secrets";
constexpr int DiagnosisTimeoutMs = 3000;

// A request reaches the keyring thread through Qt's event queue, under a lock that
// ThreadSanitizer cannot see; HandOver and TakeOver tell it that what the caller made
// before the hand-over is there for the keyring thread. GCC 12's shared_ptr frees an
// object through a path that the sanitizer takes for a race when the freeing thread
// is not the one that last used it, so under the sanitizer the caller also waits until
// the keyring thread has let go of the request and frees it itself. Without the
// sanitizer these do nothing.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
void HandOver(void* token) {
    __tsan_release(token);
}
void TakeOver(void* token) {
    __tsan_acquire(token);
}
void WaitUntilOnlyCaller(const TPromise& promise) {
    for (int i = 0; i < 1000 && promise.use_count() > 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}
#else
void HandOver(void*) {}
void TakeOver(void*) {}
void WaitUntilOnlyCaller(const TPromise&) {}
#endif

void Answer(const TPromise& promise, TKeyringReply reply) {
    try {
        promise->set_value(std::move(reply));
    } catch (const std::future_error&) {
        // Answered already.
    }
}

// What a failed job means for the user: QtKeychain reports a locked keyring
// and a missing one alike, so the Secret Service is asked directly, over the
// same GLib connection that libsecret uses (on the keyring thread).
TKeyringStatus Diagnose() {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr)
        return TKeyringStatus::NoKeyring;
    const auto call = [bus](const char* service, const char* path, const char* interface,
                            const char* method, GVariant* arguments, const char* replyType) {
        return g_dbus_connection_call_sync(
            bus, service, path, interface, method, arguments, G_VARIANT_TYPE(replyType),
            G_DBUS_CALL_FLAGS_NO_AUTO_START, DiagnosisTimeoutMs, nullptr, nullptr);
    };
    TKeyringStatus status = TKeyringStatus::NoKeyring;
    if (GVariant* owned =
            call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                 "NameHasOwner", g_variant_new("(s)", SecretsService), "(b)")) {
        gboolean hasOwner = FALSE;
        g_variant_get(owned, "(b)", &hasOwner);
        g_variant_unref(owned);
        // A service without a default keyring has nowhere to keep the password.
        if (hasOwner) {
            if (GVariant* locked = call(
                    SecretsService, "/org/freedesktop/secrets/aliases/default",
                    "org.freedesktop.DBus.Properties", "Get",
                    g_variant_new("(ss)", "org.freedesktop.Secret.Collection", "Locked"), "(v)")) {
                GVariant* value = nullptr;
                g_variant_get(locked, "(v)", &value);
                const bool isLocked = value != nullptr &&
                                      g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) &&
                                      g_variant_get_boolean(value);
                if (value != nullptr)
                    g_variant_unref(value);
                g_variant_unref(locked);
                status = isLocked ? TKeyringStatus::Locked : TKeyringStatus::Failed;
            }
        }
    }
    g_object_unref(bus);
    return status;
}

TKeyringReply ReplyOf(const QKeychain::Job& job) {
    TKeyringReply reply;
    reply.Detail = job.errorString().toStdString();
    switch (job.error()) {
    case QKeychain::NoError:
        reply.Status = TKeyringStatus::Ok;
        reply.Detail.clear();
        break;
    case QKeychain::EntryNotFound:
        // A locked keyring hides its entries.
        reply.Status = Diagnose() == TKeyringStatus::Locked ? TKeyringStatus::Locked
                                                            : TKeyringStatus::NotFound;
        break;
    case QKeychain::NoBackendAvailable:
        reply.Status = TKeyringStatus::NoKeyring;
        break;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        reply.Status = Diagnose();
        if (reply.Status == TKeyringStatus::Failed)
            reply.Status = TKeyringStatus::Denied;
        break;
    default:
        reply.Status = Diagnose();
        break;
    }
    return reply;
}

class TKeyringModule final : public platform::IKeyringBackend {
public:
    TKeyringModule() {
        Thread.setObjectName(QStringLiteral("keyring"));
        Thread.start();
        Context.moveToThread(&Thread);
    }
    // Never destroyed: the module stays loaded for the life of the process.
    ~TKeyringModule() override = default;

    TKeyringReply Read(const std::string& service, const std::string& key, int timeoutMs) override {
        return Run(timeoutMs, [service, key](const TPromise& promise) {
            auto* job = new QKeychain::ReadPasswordJob(QString::fromStdString(service));
            Prepare(*job, key, promise);
            QObject::connect(job, &QKeychain::Job::finished, [promise](QKeychain::Job* done) {
                TKeyringReply reply = ReplyOf(*done);
                if (reply.Status == TKeyringStatus::Ok)
                    reply.Password =
                        static_cast<QKeychain::ReadPasswordJob*>(done)->textData().toStdString();
                Answer(promise, std::move(reply));
            });
            job->start();
        });
    }

    TKeyringReply Write(const std::string& service, const std::string& key,
                        const std::string& password, int timeoutMs) override {
        return Run(timeoutMs, [service, key, password](const TPromise& promise) {
            auto* job = new QKeychain::WritePasswordJob(QString::fromStdString(service));
            Prepare(*job, key, promise);
            job->setTextData(QString::fromStdString(password));
            QObject::connect(job, &QKeychain::Job::finished,
                             [promise](QKeychain::Job* done) { Answer(promise, ReplyOf(*done)); });
            job->start();
        });
    }

    TKeyringReply Remove(const std::string& service, const std::string& key,
                         int timeoutMs) override {
        return Run(timeoutMs, [service, key](const TPromise& promise) {
            auto* job = new QKeychain::DeletePasswordJob(QString::fromStdString(service));
            Prepare(*job, key, promise);
            QObject::connect(job, &QKeychain::Job::finished, [promise](QKeychain::Job* done) {
                TKeyringReply reply = ReplyOf(*done);
                if (reply.Status == TKeyringStatus::NotFound)
                    reply = {TKeyringStatus::Ok, {}, {}};
                Answer(promise, std::move(reply));
            });
            job->start();
        });
    }

private:
    static void Prepare(QKeychain::Job& job, const std::string& key, const TPromise&) {
        job.setAutoDelete(true);
        // Never a plain file when there is no keyring.
        job.setInsecureFallback(false);
        job.setKey(QString::fromStdString(key));
    }

    TKeyringReply Run(int timeoutMs, std::function<void(const TPromise&)> start) {
        auto promise = std::make_shared<std::promise<TKeyringReply>>();
        std::future<TKeyringReply> answer = promise->get_future();
        HandOver(promise.get());
        QMetaObject::invokeMethod(
            &Context,
            [start = std::move(start), promise] {
                TakeOver(promise.get());
                try {
                    start(promise);
                } catch (const std::exception& error) {
                    Answer(promise, {TKeyringStatus::Failed, {}, error.what()});
                } catch (...) {
                    Answer(promise, {TKeyringStatus::Failed, {}, "unknown error"});
                }
            },
            Qt::QueuedConnection);
        if (answer.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready)
            return {TKeyringStatus::TimedOut, {}, "no answer from the keyring"};
        TKeyringReply reply = answer.get();
        WaitUntilOnlyCaller(promise);
        return reply;
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
