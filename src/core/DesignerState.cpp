#include "core/DesignerState.h"

#ifndef QZ_VERSION_MAJOR
#error "QZ_VERSION_MAJOR, QZ_VERSION_MINOR and QZ_VERSION_PATCH come from the project's version"
#endif

namespace qz {

std::string ProgramVersion() {
    // Built from numbers, so no part carries a leading zero.
    return std::to_string(QZ_VERSION_MAJOR) + "." + std::to_string(QZ_VERSION_MINOR) + "." +
           std::to_string(QZ_VERSION_PATCH);
}

} // namespace qz
