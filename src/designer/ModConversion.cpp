#include "designer/ModConversion.h"

#include "core/DesignerState.h"
#include "core/ModErrors.h"
#include "designer/DesignerCommands.h"
#include "designer/ModMsWordCurrentDocument.h"
#include "designer/ModQZCConversion.h"
#include "designer/modMSWordFields.h"
#include "core/ModGlobal.h"
#include "core/WinDirs.h"
#include "platform/system/Files.h"
#include "platform/system/SystemError.h"
#include "production/TemplateFiles.h"
#include "platform/automation/DecimalText.h"
#include "platform/automation/ErrorTexts.h"
#include "platform/automation/Text.h"
#include "platform/ui/UiHost.h"
#include "resources/MessageIds.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
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
    double value = 0;
    readDecimal(t, value);
    value = std::nearbyint(value);
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throwRuntimeError(6);
    return static_cast<std::int32_t>(value);
}

} // namespace

void ModConversion::ParseVersionString(const std::string& text, std::int32_t& major,
                                       std::int32_t& minor, std::int32_t& revision) {
    Handled(kModule, "ParseVersionString", kErrLog | kErrRaise, [&] {
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
    });
}

std::int32_t ModConversion::CompareVersion(const std::string& a, const std::string& b) {
    return Handled(kModule, "CompareVersion", kErrLog | kErrRaise, [&] {
        std::int32_t aMajor = 0, aMinor = 0, aRevision = 0, bMajor = 0, bMinor = 0, bRevision = 0;
        ParseVersionString(a, aMajor, aMinor, aRevision);
        ParseVersionString(b, bMajor, bMinor, bRevision);
        if (aMajor == bMajor) return aMinor == bMinor ? 0 : (aMinor > bMinor ? 1 : -1);
        return aMajor < bMajor ? -1 : 1;
    });
}

std::string ModConversion::GetTemplateVersion() {
    return Handled(kModule, "GetTemplateVersion", kErrLog | kErrRaise, [&] {
        return ModMsWordCurrentDocument(app_).RetrieveCustomDocumentProperty();
    });
}

bool ModConversion::IsValidTemplateVersion() {
    return Handled(kModule, "IsValidTemplateVersion", kErrLog | kErrRaise, [&] {
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
    });
}

std::int32_t ModConversion::GetTemplateVersionStatus() {
    return Handled(kModule, "GetTemplateVersionStatus", kErrLog | kErrRaise, [&] {
        if (!IsValidTemplateVersion()) return kVersionUnknown;
        switch (CompareVersion(GetTemplateVersion(), ProgramVersion())) {
        case -1: return kVersionOlder;
        case 0: return kVersionSame;
        default: return kVersionNewer;
        }
    });
}

void ModConversion::VersionsCheck(std::int32_t requirements) {
    Handled(kModule, "VersionsCheck", kErrLog | kErrRaise, [&] {
        if (requirements == 1) RaiseError(msg::NeedsDataAccess);
        if (requirements == 2) RaiseError(msg::NeedsBrowser);
        if (requirements == 3) RaiseError(msg::NeedsDataAccessAndBrowser);
        switch (GetTemplateVersionStatus()) {
        case kVersionOlder: Convert(); break;
        case kVersionNewer: RaiseError(msg::TemplateVersionTooRecent);
        case kVersionUnknown: RaiseError(msg::TemplateVersionInvalid);
        default: break;
        }
    });
}

void ModConversion::Convert() {
    namespace fs = std::filesystem;
    std::string work, qzc, qzcBak, templateBak;
    bool movedQzc = false;
    word::Document* doc = nullptr;
    std::size_t mark = 0;
    std::string oldVersion;
    bool wasSaved = false;
    try {
        // Formats from 6.00 on need no conversion, even when older than the program.
        oldVersion = GetTemplateVersion();
        if (CompareVersion(oldVersion, "6.00.00") >= 0) return;
        const int answer = ui::currentHost().msgBox(
            "Your template version is old. Before continuing, it is required to convert your "
            "template. Do you want to convert your template now?",
            ui::vbYesNo | ui::vbQuestion, "Quorvane Studio");
        if (answer != ui::vbYes) RaiseError(msg::ConversionCancelled);
        ModMsWordCurrentDocument current(app_);
        if (current.IsActiveDocumentReadOnly()) RaiseError(msg::FilesReadOnly);
        // The files of the active template itself, whatever the designer
        // heard of it last.
        word::Document& active = app_.ActiveDocument();
        const std::string folder = AddBackSlashInPath(active.Path());
        const std::string templateFile = folder + active.Name();
        const std::size_t dot = active.Name().rfind('.');
        qzc = production::FindFileNoCase(folder + active.Name().substr(0, dot) + ".qzc");
        if (qzc.empty()) RaiseError(msg::NoQzcFile);
        std::error_code ec;
        templateBak = templateFile + ".bak";
        while (fs::exists(templateBak, ec)) templateBak += ".bak";
        qzcBak = qzc + ".bak";
        while (fs::exists(qzcBak, ec)) qzcBak += ".bak";
        work = WinDirs::GetTemporaryFileName("cvr");

        std::string data;
        if (int err = sys::readWholeFile(templateFile, data)) throw sys::systemError(err);
        if (int err = sys::replaceFile(templateBak, data)) {
            templateBak.clear();  // nothing was made under that name
            throw sys::systemError(err);
        }
        fs::rename(qzc, qzcBak);
        movedQzc = true;
        Convert51629To60000(work, qzcBak);

        // The document's changes are journalled, so that a failure below
        // leaves it as it was.
        doc = &app_.ActiveDocument();
        wasSaved = doc->Saved();
        mark = doc->BeginJournal();
        modMSWordFields(app_).ConvertFields51629To60000();
        if (int err = sys::readWholeFile(work, data)) throw sys::systemError(err);
        if (int err = sys::replaceFile(qzc, data)) throw sys::systemError(err);
        current.UpdateCustomDocumentProperty(ProgramVersion());
        current.SaveCurrentDocument(2, "");
        doc->EndJournal();
        doc = nullptr;
        fs::remove(work, ec);
        ui::currentHost().msgBox("Conversion completed successfully.", ui::vbOKOnly | ui::vbInformation,
                                 "Quorvane Studio");
    } catch (...) {
        AutomationError err = CurrentError();
        std::error_code ec;
        if (doc) {
            Quietly([&] {
                doc->RollBack(mark);
                doc->EndJournal();
                if (word::CustomProperty* p = doc->CustomDocumentProperties().Find(kVersionProperty))
                    p->Value = oldVersion;
                doc->SetSaved(wasSaved);
            });
        }
        // Every file is put back as it was: the old database under the QZC
        // name, no copy of the template, no work file.
        if (movedQzc && fs::exists(qzcBak, ec)) {
            fs::remove(qzc, ec);
            fs::rename(qzcBak, qzc, ec);
        }
        if (!templateBak.empty()) fs::remove(templateBak, ec);
        if (!work.empty()) fs::remove(work, ec);
        if (err.Number == 70) err = OwnError(msg::FilesAccessDenied, "");
        HandleError(err, kModule, "Convert", kErrLog | kErrRaise);
    }
}

} // namespace qz::designer
