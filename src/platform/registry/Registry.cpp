#include "platform/registry/Registry.h"

ERegistryException FailedToCreateKey(const std::string& key) {
    return ERegistryException("Failed to create key " + key);
}

ERegistryException FailedToSetData(const std::string& valueName) {
    return ERegistryException("Failed to set data for '" + valueName + "'");
}

ERegistryException InvalidDataType(const std::string& valueName) {
    return ERegistryException("Invalid data type for '" + valueName + "'");
}
