// The settings store in place of the registry: keys are paths of names
// separated by "\" and hold named text values (the name "" is the key's
// default value). Names of keys and values compare without regard to case.
// The user scope and the machine scope are each one file:
//   user:    $XDG_CONFIG_HOME/Pellitron/Quorvane Studio 2004/user.reg
//   machine: <first of $XDG_CONFIG_DIRS>/Pellitron/Quorvane Studio 2004/machine.reg
// A few values that the operating system itself keeps are answered from what
// this machine has, unless the store holds them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qz::sys {

enum class SettingsScope { User, Machine };

// The file that holds a scope (the user's folder is made when missing).
std::string settingsFile(SettingsScope scope);
// The same name, with nothing created: for telling the user where it is.
std::string plannedSettingsFile(SettingsScope scope);

// True when the key exists (in the store or among the system's own keys).
bool settingsKeyExists(SettingsScope scope, std::string_view key);
// The value; nothing when the key or the value does not exist. Reading
// needs only read access to the store.
std::optional<std::string> readSetting(SettingsScope scope, std::string_view key,
                                       std::string_view name);
// Creates the key when missing and sets the value. 0 or an errno.
int writeSetting(SettingsScope scope, std::string_view key, std::string_view name,
                 std::string_view value);
// Removes a value. 0, ENOENT when the key or the value does not exist, or an errno.
int deleteSetting(SettingsScope scope, std::string_view key, std::string_view name);

// The system-information tool of this machine (the first of the known
// tools found on PATH); "" when there is none.
std::string systemInfoTool();

} // namespace qz::sys
