// Commands 15 and 20: an ordinary document becomes a template (its QZC file
// written beside it, the version stamped, the document saved as RTF), and a
// template's properties are edited, or the template, its QZC file and its
// script module saved under a new name or folder. Files a command is about
// to replace are moved aside first, to a new name of their own that no file
// there has (sys::moveAside), and put back when the command does not succeed.
#include "designer/Designer.h"

#include "config/QZCFile.h"
#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "core/ModGlobal.h"
#include "core/QzFormat.h"
#include "core/WinDirs.h"
#include "designer/ModMsWordCurrentDocument.h"
#include "designer/forms/frmQzProperties.h"
#include "platform/automation/Text.h"
#include "platform/system/Files.h"
#include "platform/system/SystemError.h"
#include "platform/system/TempFiles.h"
#include "platform/ui/UiHost.h"
#include "resources/MessageIds.h"

#include <filesystem>

namespace qz::designer {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kModule = "Designer";

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// The file name without its extension.
std::string BaseName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// A folder as the designer state keeps it: no trailing separator.
std::string FolderOf(const std::string& path) {
    std::string f = path;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    return f;
}

void CopyWhole(const std::string& from, const std::string& to) {
    std::string data;
    if (int err = sys::readWholeFile(from, data)) throw sys::systemError(err);
    if (int err = sys::replaceFile(to, data)) throw sys::systemError(err);
}

} // namespace

frmQzProperties& Designer::QzPropertiesDialog() {
    if (!properties_) properties_ = std::make_unique<frmQzProperties>();
    return *properties_;
}

std::string Designer::RetrieveQzTemplateFileName() {
    return Handled(kModule, "RetrieveQzTemplateFileName", kErrLog | kErrRaise, [&] {
        return BaseName(ModMsWordCurrentDocument(WordApplication()).GetActiveDocumentName()) + ".rtf";
    });
}

std::string Designer::RetrieveTemplateModuleFileName(bool fromState) {
    return Handled(kModule, "RetrieveTemplateModuleFileName", kErrLog | kErrRaise, [&] {
        const std::string name = fromState ? templateFileName_ : RetrieveQzTemplateFileName();
        if (name.empty()) RaiseError(5);
        return BaseName(name) + ".vbs";
    });
}

void Designer::CopyVbsTemplateModule(const std::string& fromFolder, const std::string& toFolder) {
    Handled(kModule, "CopyVbsTemplateModule", kErrLog | kErrRaise, [&] {
        const std::string source = AddBackSlashInPath(fromFolder) + RetrieveTemplateModuleFileName(false);
        const std::string target = AddBackSlashInPath(toFolder) + RetrieveTemplateModuleFileName(true);
        std::error_code ec;
        if (fs::is_directory(toFolder, ec) && FileExists(source)) CopyWhole(source, target);
    });
}

bool Designer::CreateTempFiles(const std::vector<std::string>& files, std::vector<std::string>& made) {
    const std::size_t before = made.size();
    try {
        for (const std::string& f : files) {
            if (f.empty() || !FileExists(f)) continue;
            // A rename in the same folder: nothing is copied, so a full disk
            // cannot leave half a backup, and no file of the user's is replaced.
            std::string aside;
            if (int err = sys::moveAside(f, aside)) throw sys::systemError(err);
            made.push_back(aside);
        }
        return true;
    } catch (...) {
        AutomationError err = CurrentError();
        // What this walk moved goes back before the author is told.
        RestoreTempFiles(std::vector<std::string>(made.begin() + static_cast<std::ptrdiff_t>(before), made.end()));
        made.resize(before);
        if (err.Number == 70) err = OwnError(msg::CannotReplaceFiles, "");
        HandleError(err, kModule, "CreateTempFiles", kErrLog | kErrShow);
    }
    return false;
}

void Designer::RestoreTempFiles(const std::vector<std::string>& tmpFiles) noexcept {
    for (const std::string& t : tmpFiles) {
        std::error_code ec;
        if (t.size() > sys::kAsideSuffixSize && fs::is_regular_file(t, ec))
            fs::rename(t, t.substr(0, t.size() - sys::kAsideSuffixSize), ec);
    }
}

void Designer::DeleteTempFiles(const std::vector<std::string>& tmpFiles) noexcept {
    for (const std::string& t : tmpFiles) {
        std::error_code ec;
        if (fs::is_regular_file(t, ec)) fs::remove(t, ec);
    }
}

bool Designer::SaveQzc() {
    frmQzProperties& d = QzPropertiesDialog();
    const std::string path = AddBackSlashInPath(d.QzTemplatePath) + d.QzcFilename;
    std::string work;
    bool readOnly = false;
    try {
        QZCFile file;
        const bool exists = FileExists(path);
        if (exists) {
            if (FileIsReadOnly(path)) {
                readOnly = true;
                RaiseError(msg::CannotUpdateTemplateProperties);
            }
            file.Load(path);
        } else {
            // A new file is built beside its place and renamed into it when
            // whole, so that a failure leaves no half-written QZC file.
            int err = 0;
            work = sys::createTempFile(FolderOf(d.QzTemplatePath), "qzc", err);
            if (work.empty()) throw sys::systemError(err);
            file.CreateNew(work);
        }
        if (!file.TemplateProperties()) RaiseError(msg::CannotOpenQzcFile);
        QZCTemplateProperties& props = *file.TemplateProperties();
        props.CurrencyFormat = CreateNumberFormatPropertiesStr(d.QzCurrencyFormat ? *d.QzCurrencyFormat : QzFormatNumber{});
        props.DateTimeFormat = CreateDateTimeFormatPropertiesStr(d.QzDateTimeFormat ? *d.QzDateTimeFormat : QzFormatDateTime{});
        props.NumberFormat = CreateNumberFormatPropertiesStr(d.QzNumberFormat ? *d.QzNumberFormat : QzFormatNumber{});
        props.PercentFormat = CreateNumberFormatPropertiesStr(d.QzPercentFormat ? *d.QzPercentFormat : QzFormatNumber{});
        props.StringFormat = CreateStringFormatPropertiesStr(d.QzStringFormat ? *d.QzStringFormat : QzFormatString{});
        props.RevisionKeep = std::to_string(d.QzRevisionKeep);
        props.Locale = std::to_string(d.QzLocale);
        if (exists) {
            props.Save();
            return true;
        }
        props.Version = Version();
        props.Save();
        if (!qzcFileName_.empty()) {
            QZCFile old;
            old.Load(AddBackSlashInPath(templatePath_) + qzcFileName_);
            if (old.ConnectionList() && file.ConnectionList()) {
                for (const auto& c : old.ConnectionList()->List()) {
                    auto copy = file.ConnectionList()->CreateNew();
                    copy->ConnectionType = c->ConnectionType;
                    copy->DataSource = c->DataSource;
                    copy->Name = c->Name;
                    if (c->CommandList() && copy->CommandList()) {
                        for (const auto& cmd : c->CommandList()->List()) {
                            auto newCmd = copy->CommandList()->CreateNew();
                            newCmd->Name = cmd->Name;
                            newCmd->Text = cmd->Text;
                            newCmd->Save();
                        }
                    }
                    copy->Save();
                }
            }
        }
        fs::permissions(work, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                  fs::perms::others_read);
        fs::rename(work, path);
        return true;
    } catch (...) {
        std::error_code ec;
        if (!work.empty()) fs::remove(work, ec);
        AutomationError err = CurrentError();
        if (readOnly) {
            err.Description = QzcReadOnlyError(path).Description;
            HandleError(err, kModule, "SaveQzc", kErrLog | kErrShow);
            return false;
        }
        HandleError(err, kModule, "SaveQzc", kErrLog | kErrRaise);
    }
    return false;
}

void Designer::NewTemplate() {
    if (!Handled(kModule, "NewTemplate", kErrLog | kErrShow, [&] {
        frmQzProperties& d = QzPropertiesDialog();
        d.QzTemplateFileName = RetrieveQzTemplateFileName();
        // The document's own folder (a new document: the documents folder).
        d.QzTemplatePath = ModMsWordCurrentDocument(WordApplication()).CurrentDocumentPath();
        d.QzcFilename = GetQzcFileNameFromTemplateName(d.QzTemplateFileName);
        d.QzPropertiesReadOnly = false;
        d.QzLocale = -1;
        d.QzRevisionKeep = 12;
        d.QzStringFormat = std::make_shared<QzFormatString>(RetrieveStringFormat(""));
        d.QzDateTimeFormat = std::make_shared<QzFormatDateTime>(RetrieveDateTimeFormat(""));
        d.QzNumberFormat = std::make_shared<QzFormatNumber>(RetrieveNumberFormat("", false));
        d.QzCurrencyFormat = std::make_shared<QzFormatNumber>(RetrieveNumberFormat("", true));
        d.QzPercentFormat = std::make_shared<QzFormatNumber>(RetrieveNumberFormat("", false));
        d.InitializeControls();
    })) return;
    RunTemplatePasses(false);
}

void Designer::EditTemplate() {
    const bool ok = Handled(kModule, "EditTemplate", kErrLog | kErrShow, [&] {
        frmQzProperties& d = QzPropertiesDialog();
        d.QzTemplateFileName = templateFileName_;
        d.QzTemplatePath = templatePath_;
        d.QzcFilename = qzcFileName_;
        d.QzPropertiesReadOnly = templateReadOnly_;
        QZCFile file;
        file.Load(AddBackSlashInPath(templatePath_) + qzcFileName_);
        const QZCTemplateProperties props = file.TemplateProperties() ? *file.TemplateProperties() : QZCTemplateProperties{};
        auto number = [](const std::string& text, std::int32_t otherwise) {
            const std::string_view t = trimSpaces(text);
            std::size_t i = !t.empty() && t[0] == '-' ? 1 : 0;
            if (i == t.size() || t.size() > 10) return otherwise;
            long long n = 0;
            for (; i < t.size(); ++i) {
                if (t[i] < '0' || t[i] > '9') return otherwise;
                n = n * 10 + (t[i] - '0');
            }
            return static_cast<std::int32_t>(t[0] == '-' ? -n : n);
        };
        d.QzLocale = number(props.Locale, -1);
        d.QzRevisionKeep = number(props.RevisionKeep, 12);
        d.QzStringFormat = std::make_shared<QzFormatString>(RetrieveStringFormat(props.StringFormat));
        d.QzDateTimeFormat = std::make_shared<QzFormatDateTime>(RetrieveDateTimeFormat(props.DateTimeFormat));
        d.QzNumberFormat = std::make_shared<QzFormatNumber>(RetrieveNumberFormat(props.NumberFormat, false));
        d.QzCurrencyFormat = std::make_shared<QzFormatNumber>(RetrieveNumberFormat(props.CurrencyFormat, true));
        d.QzPercentFormat = std::make_shared<QzFormatNumber>(RetrieveNumberFormat(props.PercentFormat, false));
        d.InitializeControls();
    });
    if (ok) RunTemplatePasses(true);
}

void Designer::RunTemplatePasses(bool editing) {
    const char* routine = editing ? "EditTemplate" : "NewTemplate";
    frmQzProperties& d = QzPropertiesDialog();
    std::vector<std::string> backups;  // the files this pass replaces, moved aside
    std::vector<std::string> created;  // files this pass writes where none was
    HandledWithError(kModule, routine, kErrLog | kErrShow, [&] {
        for (;;) {
            // A pass that went back puts the files it moved aside in place again.
            RestoreTempFiles(backups);
            backups.clear();
            created.clear();
            d.ShowModal();
            if (d.CancelUpdate()) return;
            const std::string folder = AddBackSlashInPath(d.QzTemplatePath);
            const std::string templateFile = folder + d.QzTemplateFileName;
            if (editing && FileNameIdentical(AddBackSlashInPath(templatePath_) + templateFileName_, templateFile)) {
                // Same name and folder: only the properties change.
                if (SaveQzc()) return;
                continue;
            }
            const std::string qzc = folder + d.QzcFilename;
            std::string oldModule, newModule;
            if (editing) {
                oldModule = AddBackSlashInPath(templatePath_) + BaseName(templateFileName_) + ".vbs";
                newModule = folder + BaseName(d.QzTemplateFileName) + ".vbs";
                if (!FileExists(oldModule)) newModule.clear();
            }
            std::vector<std::string> targets = {templateFile, qzc};
            if (!newModule.empty()) targets.push_back(newModule);
            // The document made a template under its own name replaces no
            // other file: only another open document's name is refused.
            const bool itself = !editing && FileNameIdentical(WordApplication().ActiveDocument().FullName(), templateFile);
            if (FileExists(qzc) || (!itself && FileExists(templateFile))) {
                ModMsWordCurrentDocument current(WordApplication());
                if (!itself && current.DocumentAlreadyOpen(templateFile)) {
                    ShowErrorDialog(GetResourceString(msg::TemplateNameOfOpenDocument), routine);
                    continue;
                }
                if (ui::currentHost().msgBox("Files already exists. Do you want to replace existing files?",
                                             ui::vbYesNo | ui::vbQuestion, "Quorvane Studio 2004") != ui::vbYes)
                    continue;
                if (!CreateTempFiles(targets, backups)) continue;
            }
            std::error_code ec;
            for (const std::string& t : targets)
                if (!fs::exists(t, ec)) created.push_back(t);
            if (!SaveQzc()) continue;
            // The document is saved under its new name last: whatever fails
            // before leaves it the file it was.
            if (!newModule.empty()) CopyWhole(oldModule, newModule);
            ModMsWordCurrentDocument current(WordApplication());
            current.UpdateCustomDocumentProperty(Version());
            current.SaveCurrentDocument(1, templateFile);
            DeleteTempFiles(backups);
            templateFileName_ = d.QzTemplateFileName;
            templatePath_ = FolderOf(d.QzTemplatePath);
            qzcFileName_ = d.QzcFilename;
            templateReadOnly_ = false;
            return;
        }
    }, [&](const AutomationError&) {
        // Whatever this pass wrote goes, and what it replaced comes back.
        for (const std::string& f : created) {
            std::error_code ec;
            fs::remove(f, ec);
        }
        RestoreTempFiles(backups);
    });
}

} // namespace qz::designer
