#include "account/DnsSettings.h"

#include <algorithm>

std::optional<TServiceRecord> ChooseServiceRecord(std::vector<TServiceRecord> records) {
    std::erase_if(records, [](TServiceRecord& record) {
        if (record.Target.ends_with('.') && record.Target.size() > 1) {
            record.Target.pop_back();
        }
        return record.Target == "." || record.Port < 1 || record.Port > 65535 ||
               !IsHostName(QString::fromStdString(record.Target));
    });
    if (records.empty()) {
        return std::nullopt;
    }
    return *std::min_element(records.begin(), records.end(), [](const auto& a, const auto& b) {
        return a.Priority != b.Priority ? a.Priority < b.Priority : a.Weight > b.Weight;
    });
}

std::optional<TServerSettings> SettingsFromServiceRecords(const TServiceAnswers& answers) {
    for (std::size_t i = 0; i < MailServices.size(); ++i) {
        if (const auto record = ChooseServiceRecord(answers[i])) {
            TServerSettings server;
            server.Type = MailServices[i].Type;
            server.Security = MailServices[i].Security;
            server.Host = QString::fromStdString(record->Target).toLower();
            server.Port = record->Port;
            return server;
        }
    }
    return std::nullopt;
}
