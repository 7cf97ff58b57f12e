// Reading and writing values of the settings store by registry root and key
// path, with a cached lookup of the user's documents folder.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace qz {

class RegConfig {
public:
    // Datum 2: the user's documents folder, read once per object. Any other
    // number fails with 2001.
    std::string GetData(std::int32_t datum);
    // The value's text; the default when the value is empty. 2002 when the
    // key or the value does not exist. The name "*" is the default value.
    std::string GetSetting(std::uint32_t root, const std::string& keyPath, const std::string& name,
                           const std::string& defaultText);
    // Creates the key when missing and writes the value; true on success.
    bool SetRegistryValue(std::uint32_t root, const std::string& keyPath, const std::string& name,
                          const std::string& text);
    // Deletes the value (a blank name empties the default value instead);
    // true on success.
    bool DeleteRegistryValue(std::uint32_t root, const std::string& keyPath, const std::string& name);
    // "Software\Pellitron Inc.\Version 8.1", then "\" and the sub-key when given.
    std::string GetVendorKeyPath(const std::string& subKey);

private:
    std::map<std::string, std::string> data_;
};

} // namespace qz
