#include "designer/ModConversion.h"

#include "core/DesignerState.h"
#include "core/ModErrors.h"
#include "designer/DesignerCommands.h"
#include "designer/ModMsWordCurrentDocument.h"
#include "platform/automation/ErrorTexts.h"
#include "platform/automation/Text.h"
#include "platform/ui/UiHost.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace qz::designer {

namespace {

constexpr std::string_view kModule = "modConversion";

constexpr std::array<const char*, 9> kKnownVersions = {
    "5.16.29", "5.16.61", "5.17.00", "6.00.00", "6.01.00", "7.00.00", "8.00.00", "8.01.00", "8.02.00"};

// A version part as a 32-bit number: blanks around it allowed, a sign and a
// decimal fraction too (rounded half to even); anything else is a type
// mismatch, a value out of range an overflow.
std::int32_t PartNumber(std::string_view text) {
    std::string_view t = trimSpaces(text);
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t digits = 0;
    bool point = false;
    for (std::size_t j = i; j < t.size(); ++j) {
        if (t[j] >= '0' && t[j] <= '9') ++digits;
        else if (t[j] == '.' && !point) point = true;
        else throwRuntimeError(13);
    }
    if (digits == 0) throwRuntimeError(13);
    const double value = std::nearbyint(std::strtod(std::string(t).c_str(), nullptr));
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throwRuntimeError(6);
    return static_cast<std::int32_t>(value);
}

} // namespace

void ModConversion::ParseVersionString(const std::string& text, std::int32_t& major,
                                       std::int32_t& minor, std::int32_t& revision) {
    try {
        if (text.empty()) return;
        const std::size_t p1 = text.find('.');
        if (p1 != std::string::npos) major = PartNumber(std::string_view(text).substr(0, p1));
        const std::size_t p2 = p1 == std::string::npos ? std::string::npos : text.find('.', p1 + 1);
        if (p2 != std::string::npos) {
            minor = PartNumber(std::string_view(text).substr(p1 + 1, p2 - p1 - 1));
            revision = PartNumber(std::string_view(text).substr(p2 + 1));
        } else {
            revision = PartNumber(text);
        }
    } catch (...) {
        HandleError(kModule, "ParseVersionString", kErrLog | kErrRaise);
    }
}

std::int32_t ModConversion::CompareVersion(const std::string& a, const std::string& b) {
    try {
        std::int32_t aMajor = 0, aMinor = 0, aRevision = 0, bMajor = 0, bMinor = 0, bRevision = 0;
        ParseVersionString(a, aMajor, aMinor, aRevision);
        ParseVersionString(b, bMajor, bMinor, bRevision);
        if (aMajor == bMajor) return aMinor == bMinor ? 0 : (aMinor > bMinor ? 1 : -1);
        return aMajor < bMajor ? -1 : 1;
    } catch (...) {
        HandleError(kModule, "CompareVersion", kErrLog | kErrRaise);
    }
    return 0;
}

std::string ModConversion::GetTemplateVersion() {
    try {
        return ModMsWordCurrentDocument(app_).RetrieveCustomDocumentProperty();
    } catch (...) {
        HandleError(kModule, "GetTemplateVersion", kErrLog | kErrRaise);
    }
    return {};
}

bool ModConversion::IsValidTemplateVersion() {
    try {
        const std::string version = GetTemplateVersion();
        if (version.empty()) return false;
        // A version that does not read as numbers is no known version: it is
        // refused as invalid (4049) rather than with a bare type mismatch.
        try {
            std::int32_t major = 0, minor = 0, revision = 0;
            ParseVersionString(version, major, minor, revision);
        } catch (const AutomationError& e) {
            if (e.Number == 13 || e.Number == 6) return false;
            throw;
        }
        for (const char* known : kKnownVersions)
            if (CompareVersion(version, known) == 0) return true;
        // The program's own version is known, so that a template it stamped
        // passes even when the table above has no entry for it.
        return CompareVersion(version, ProgramVersion()) == 0;
    } catch (...) {
        HandleError(kModule, "IsValidTemplateVersion", kErrLog | kErrRaise);
    }
    return false;
}

std::int32_t ModConversion::GetTemplateVersionStatus() {
    try {
        if (!IsValidTemplateVersion()) return kVersionUnknown;
        switch (CompareVersion(GetTemplateVersion(), ProgramVersion())) {
        case -1: return kVersionOlder;
        case 0: return kVersionSame;
        default: return kVersionNewer;
        }
    } catch (...) {
        HandleError(kModule, "GetTemplateVersionStatus", kErrLog | kErrRaise);
    }
    return kVersionUnknown;
}

void ModConversion::VersionsCheck(std::int32_t requirements) {
    try {
        if (requirements == 1) RaiseError(1008);
        if (requirements == 2) RaiseError(1009);
        if (requirements == 3) RaiseError(1010);
        switch (GetTemplateVersionStatus()) {
        case kVersionOlder: Convert(); break;
        case kVersionNewer: RaiseError(4048);
        case kVersionUnknown: RaiseError(4049);
        default: break;
        }
    } catch (...) {
        HandleError(kModule, "VersionsCheck", kErrLog | kErrRaise);
    }
}

void ModConversion::Convert() {
    try {
        // Formats from 6.00 on need no conversion, even when older than the program.
        if (CompareVersion(GetTemplateVersion(), "6.00.00") >= 0) return;
        const int answer = ui::currentHost().msgBox(
            "Your template version is old. Before continuing, it is required to convert your "
            "template. Do you want to convert your template now?",
            ui::vbYesNo | ui::vbQuestion, "Quorvane Studio");
        if (answer != ui::vbYes) RaiseError(4047);
        if (ModMsWordCurrentDocument(app_).IsActiveDocumentReadOnly()) RaiseError(4053);
        // Templates before format 6.00 keep their data sources in an old
        // database that this build does not read yet; nothing is changed.
        RaiseError(kMsgCommandNotAvailable);
    } catch (...) {
        HandleError(kModule, "Convert", kErrLog | kErrRaise);
    }
}

} // namespace qz::designer
