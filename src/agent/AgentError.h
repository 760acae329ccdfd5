#pragma once
// The one exception type of the character component. Its message is written
// for the user and is shown as it is by whoever catches it.
#include <stdexcept>
#include <string>

#include <QString>

class EAgentError : public std::runtime_error {
public:
    explicit EAgentError(const QString& message) : std::runtime_error(message.toStdString()) {}
};
