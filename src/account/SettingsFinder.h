#pragma once

// TSettingsFinder: the account pages' way to find settings for an e-mail address without ever
// waiting. Find() starts a search (see SettingsSearch.h) on a thread of its own and returns at
// once; Finished() arrives later on the thread that owns the finder (the window thread), once per
// search that was neither cancelled nor replaced by a newer Find(). Destroying the finder cancels
// what runs; its threads end at once, since every wait of a search can be interrupted.

#include <memory>

#include <QObject>

#include "account/SettingsSearch.h"

class TSettingsFinder : public QObject {
    Q_OBJECT

public:
    // With the installed list of providers and the usual time limits.
    explicit TSettingsFinder(QObject* parent = nullptr);
    TSettingsFinder(std::shared_ptr<const TProviderTable> table, TSettingsSearch::TOptions options,
                    QObject* parent = nullptr);
    ~TSettingsFinder() override;

    // Cancels any search under way and starts one for the address. False, and no signal, when
    // the text is not an e-mail address (show NotAnAddressText()).
    bool Find(const QString& address);
    // Nothing more is reported for the search under way.
    void Cancel();
    bool Searching() const { return FCurrent != nullptr; }

signals:
    void Finished(const TFoundSettings& found);

private:
    class TSearchThread;

    void SearchEnded(TSearchThread* thread);

    std::shared_ptr<const TProviderTable> FTable;
    TSettingsSearch::TOptions FOptions;
    TSearchThread* FCurrent = nullptr;
};

Q_DECLARE_METATYPE(TFoundSettings)
