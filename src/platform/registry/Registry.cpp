#include "platform/registry/Registry.h"

ERegistryException FailedToCreateKey(const std::string& key) {
    return ERegistryException("Failed to create key " + key);
}

ERegistryException FailedToSetData(const std::string& valueName) {
    return ERegistryException("Failed to set data for '" + valueName + "'");
}

ERegistryException WithCause(const ERegistryException& error, const std::string& cause) {
    if (cause.empty())
        return error;
    return ERegistryException(std::string(error.what()) + ": " + cause);
}

ERegistryException InvalidDataType(const std::string& valueName) {
    return ERegistryException("Invalid data type for '" + valueName + "'");
}
