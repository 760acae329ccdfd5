#include "account/SettingsFinder.h"

#include <QThread>

class TSettingsFinder::TSearchThread : public QThread {
public:
    TSearchThread(std::shared_ptr<const TProviderTable> table, TSettingsSearch::TOptions options,
                  const QString& address, QObject* parent)
        : QThread(parent), Search(std::move(table), std::move(options)), Address(address) {}

    void run() override { Result = Search.Run(Address); }

    TSettingsSearch Search;
    const QString Address;
    TFoundSettings Result; // read once the thread has finished
};

TSettingsFinder::TSettingsFinder(QObject* parent)
    : TSettingsFinder(TProviderTable::Installed(), TSettingsSearch::TOptions(), parent) {}

TSettingsFinder::TSettingsFinder(std::shared_ptr<const TProviderTable> table,
                                 TSettingsSearch::TOptions options, QObject* parent)
    : QObject(parent), FTable(std::move(table)), FOptions(std::move(options)) {}

TSettingsFinder::~TSettingsFinder() {
    const auto threads = findChildren<TSearchThread*>(Qt::FindDirectChildrenOnly);
    for (TSearchThread* thread : threads) {
        thread->Search.Cancel();
    }
    for (TSearchThread* thread : threads) {
        thread->wait();
    }
}

bool TSettingsFinder::Find(const QString& address) {
    Cancel();
    if (!SplitEmailAddress(address, nullptr, nullptr)) {
        return false;
    }
    auto* thread = new TSearchThread(FTable, FOptions, address, this);
    connect(thread, &QThread::finished, this, [this, thread] { SearchEnded(thread); });
    FCurrent = thread;
    thread->start();
    return true;
}

void TSettingsFinder::Cancel() {
    if (FCurrent != nullptr) {
        FCurrent->Search.Cancel();
        FCurrent = nullptr;
    }
}

void TSettingsFinder::SearchEnded(TSearchThread* thread) {
    thread->deleteLater();
    if (thread != FCurrent) {
        return;
    }
    FCurrent = nullptr;
    emit Finished(thread->Result);
}
