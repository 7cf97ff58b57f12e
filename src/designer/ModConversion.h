// The template version check made before every command that works on a
// template: the system requirements must be met, and the template's
// "QzVersion" must be a version this program knows and not a newer one.
// Templates older than format 6.00 are to be converted first.
//
// Versions are major.minor.revision and compare by major and minor only, so
// "8.2.5" equals the program's "8.2.2" and "5.16.99" is the known "5.16.29".
#pragma once

#include "platform/word/Application.h"

#include <cstdint>
#include <string>

namespace qz::designer {

// GetTemplateVersionStatus results.
inline constexpr std::int32_t kVersionSame = 0;
inline constexpr std::int32_t kVersionOlder = 1;
inline constexpr std::int32_t kVersionNewer = 2;
inline constexpr std::int32_t kVersionUnknown = 3;

class ModConversion {
public:
    explicit ModConversion(word::Application& app) : app_(app) {}

    // Returns when the command may go on. Requirements status 1, 2, 3 raise
    // messages 1008, 1009, 1010; a newer template raises 4048, an unknown
    // version (empty or unreadable included) 4049; an older one is handed
    // to Convert.
    void VersionsCheck(std::int32_t requirements);
    // kVersionSame, kVersionOlder, kVersionNewer or kVersionUnknown against
    // the program's own version.
    std::int32_t GetTemplateVersionStatus();
    // The active document's "QzVersion", "" when absent.
    std::string GetTemplateVersion();
    // True when the template's version has the major and minor numbers of a
    // known version (or of the program's own).
    bool IsValidTemplateVersion();
    // Formats from 6.00 on go on unchanged. An older one is converted after
    // the author agrees (No raises 4047; a read-only document raises 4053):
    // the template is copied to "<name>.bak", the old database moved to
    // "<qzc>.bak" and a QZC file built from it under the QZC name, the
    // fields renamed, the version stamped and the document saved. A failure
    // puts every file and the document back as they were.
    void Convert();

    // Splits "major.minor.revision". Parts the text does not have keep the
    // values passed in; a part that is no number raises the run time's
    // type mismatch (13).
    static void ParseVersionString(const std::string& text, std::int32_t& major,
                                   std::int32_t& minor, std::int32_t& revision);
    // -1, 0 or 1 as a is lower than, equal to or higher than b, by major and
    // minor number.
    static std::int32_t CompareVersion(const std::string& a, const std::string& b);

private:
    word::Application& app_;
};

} // namespace qz::designer
