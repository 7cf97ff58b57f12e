#include "production/Errors.h"

#include "platform/automation/Variant.h"
#include "platform/system/CodePage.h"
#include "platform/system/Files.h"
#include "resources/MessageIds.h"

namespace qz::production {

std::string ansiToUtf8(std::string_view ansi) { return sys::cp1252ToUtf8(ansi); }

std::string readWholeFile(const std::string& path) {
    std::string bytes;
    if (sys::readWholeFile(path, bytes) != 0) RaiseError(msg::CannotOpenInputFile);
    return bytes;
}

std::int32_t convertToLong(std::string_view utf8) { return Variant::fromUtf8(utf8).toLong(); }

} // namespace qz::production
