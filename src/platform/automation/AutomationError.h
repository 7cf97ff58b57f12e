// The automation error: what a failing call hands back to its caller, whether
// the caller is C++ code, the script engine or a client of the production engine.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace qz {

// Errors of the system's own are raised as kOwnErrorBase + message id.
inline constexpr std::int32_t kOwnErrorBase = static_cast<std::int32_t>(0x80040000u);
// Generic failure, as a stand-in for E_FAIL.
inline constexpr std::int32_t kErrorFail = static_cast<std::int32_t>(0x80004005u);

class AutomationError : public std::exception {
public:
    AutomationError() = default;
    AutomationError(std::int32_t number, std::string source, std::string description,
                    std::string helpFile = {}, std::int32_t helpContext = 0,
                    std::int32_t systemErrorCode = 0)
        : Number(number), Source(std::move(source)), Description(std::move(description)),
          HelpFile(std::move(helpFile)), HelpContext(helpContext),
          SystemErrorCode(systemErrorCode) {}

    const char* what() const noexcept override { return Description.c_str(); }

    std::int32_t Number = 0;       // as a script sees it in Err.Number
    std::string Source;            // UTF-8
    std::string Description;       // UTF-8
    std::string HelpFile;
    std::int32_t HelpContext = 0;
    std::int32_t SystemErrorCode = 0; // errno of a failed system call, 0 if none
};

} // namespace qz
