#include "core/RegConfig.h"

#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "platform/automation/Text.h"
#include "platform/system/Settings.h"
#include "resources/MessageIds.h"

#include <optional>

namespace qz {
namespace {

std::optional<sys::SettingsScope> scopeOf(std::uint32_t root) {
    if (root == HKEY_CURRENT_USER) return sys::SettingsScope::User;
    if (root == HKEY_LOCAL_MACHINE) return sys::SettingsScope::Machine;
    return std::nullopt;
}

std::string valueName(const std::string& name) { return name == "*" ? std::string{} : name; }

} // namespace

std::string RegConfig::GetData(std::int32_t datum) {
    return Handled("RegConfig", "GetData", kErrLog | kErrRaise, [&] {
        if (datum != 2) RaiseError(msg::InvalidRegistryKey);
        auto it = data_.find("Personal");
        if (it == data_.end())
            it = data_.emplace("Personal",
                               GetSetting(HKEY_CURRENT_USER,
                                          "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\",
                                          "Personal", ""))
                     .first;
        return it->second;
    });
}

std::string RegConfig::GetSetting(std::uint32_t root, const std::string& keyPath, const std::string& name,
                                  const std::string& defaultText) {
    return Handled("RegConfig", "GetSetting", kErrLog | kErrRaise, [&] {
        auto scope = scopeOf(root);
        if (!scope || !sys::settingsKeyExists(*scope, keyPath)) RaiseError(msg::RegistryKeyNotFound);
        auto value = sys::readSetting(*scope, keyPath, valueName(name));
        if (!value) RaiseError(msg::RegistryKeyNotFound);
        return value->empty() ? defaultText : *value;
    });
}

bool RegConfig::SetRegistryValue(std::uint32_t root, const std::string& keyPath, const std::string& name,
                                 const std::string& text) {
    auto scope = scopeOf(root);
    return scope && sys::writeSetting(*scope, keyPath, valueName(name), text) == 0;
}

bool RegConfig::DeleteRegistryValue(std::uint32_t root, const std::string& keyPath, const std::string& name) {
    if (onlySpaces(name)) return SetRegistryValue(root, keyPath, "", "");
    auto scope = scopeOf(root);
    return scope && sys::deleteSetting(*scope, keyPath, valueName(name)) == 0;
}

std::string RegConfig::GetVendorKeyPath(const std::string& subKey) {
    std::string path = "Software\\Pellitron Inc.\\Version 8.1";
    if (!subKey.empty()) path += "\\" + subKey;
    return path;
}

} // namespace qz
