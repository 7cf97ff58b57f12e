#include "production/Errors.h"

#include "platform/automation/Variant.h"
#include "platform/system/CodePage.h"

#include <fstream>
#include <iterator>

namespace qz::production {

std::string ansiToUtf8(std::string_view ansi) { return sys::cp1252ToUtf8(ansi); }

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) raiseOwnError(3100);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) raiseOwnError(3100);
    return bytes;
}

std::int32_t convertToLong(std::string_view utf8) { return Variant::fromUtf8(utf8).toLong(); }

} // namespace qz::production
