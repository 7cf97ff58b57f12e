#include "designer/ModMsWordCurrentDocument.h"

#include "production/TemplateFiles.h"

#include "core/ModErrors.h"
#include "core/WinDirs.h"

#include <filesystem>
#include <system_error>

namespace qz::designer {

namespace {
constexpr std::string_view kModule = "ModMsWordCurrentDocument";
}

std::string ModMsWordCurrentDocument::GetActiveDocumentName() { return app_.ActiveDocument().Name(); }

bool ModMsWordCurrentDocument::IsActiveDocumentSaved() {
    word::Document& doc = app_.ActiveDocument();
    return doc.Saved() && !doc.Path().empty();
}

bool ModMsWordCurrentDocument::IsActiveDocumentReadOnly() { return app_.ActiveDocument().ReadOnly(); }

std::string ModMsWordCurrentDocument::CurrentDocumentPath() {
    return Handled(kModule, "CurrentDocumentPath", kErrLog | kErrRaise, [&] {
        std::string path = app_.ActiveDocument().Path();
        if (!path.empty()) return path;
        return WinDirs::GetPersonalPath();
    });
}

bool ModMsWordCurrentDocument::PropertyExist(const std::string& name) {
    return Handled(kModule, "PropertyExist", kErrLog | kErrRaise, [&] {
        for (const word::CustomProperty& p : app_.ActiveDocument().CustomDocumentProperties())
            if (p.Name == name) return true;
        return false;
    });
}

std::string ModMsWordCurrentDocument::RetrieveCustomDocumentProperty() {
    if (!PropertyExist(kVersionProperty)) return {};
    return app_.ActiveDocument().CustomDocumentProperties().Item(std::string(kVersionProperty)).Value;
}

void ModMsWordCurrentDocument::ModifyCurrentDocument() {
    Handled(kModule, "ModifyCurrentDocument", kErrLog | kErrRaise, [&] {
        word::Selection& sel = app_.GetSelection();
        long s = sel.Start(), e = sel.End();
        if (s != e) {
            if (s > 0) sel.MoveLeft(word::kUnitCharacter, 1);
            else sel.MoveRight(word::kUnitCharacter, 1);
        }
        sel.TypeText(" ");
        sel.MoveLeft(word::kUnitCharacter, 1, word::kExtend);
        sel.Delete(word::kUnitCharacter, 1);
        sel.SetEnd(e);
        sel.SetStart(s);
        if (s != e) sel.Select();
    });
}

void ModMsWordCurrentDocument::SaveCurrentDocument(std::int32_t mode, const std::string& name) {
    Handled(kModule, "SaveCurrentDocument", kErrLog | kErrRaise, [&] {
        if (mode == 1) app_.ActiveDocument().SaveAs(name, 6);
        else if (mode == 2) app_.ActiveDocument().Save();
    });
}

bool ModMsWordCurrentDocument::DocumentAlreadyOpen(const std::string& name) {
    namespace fs = std::filesystem;
    return Handled(kModule, "DocumentAlreadyOpen", kErrRaise, [&] {
        std::error_code ec;
        fs::path target = fs::weakly_canonical(fs::path(name), ec);
        if (ec) target = fs::path(name).lexically_normal();
        word::Documents& docs = app_.GetDocuments();
        for (int i = 1; i <= docs.Count(); ++i) {
            word::Document& d = docs.Item(i);
            if (d.FullName() == name) return true;
            if (d.Path().empty()) continue;
            std::error_code ec2;
            fs::path open = fs::weakly_canonical(fs::path(d.FullName()), ec2);
            if (!ec2 && open == target) return true;
        }
        return false;
    });
}

std::string ModMsWordCurrentDocument::SaveAsRefusal(const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(fs::path(name), ec);
    if (ec) return {};
    word::Documents& docs = app_.GetDocuments();
    for (int i = 1; i <= docs.Count(); ++i) {
        word::Document& d = docs.Item(i);
        if (d.Path().empty()) continue;
        const fs::path open = fs::weakly_canonical(fs::path(d.FullName()), ec);
        if (ec) continue;
        if (open == target && &d != &app_.ActiveDocument())
            return "\"" + name + "\" is open in another window; close it before saving under its name.";
        const std::string kind = production::TemplateFileKind(name, d.FullName());
        if (!kind.empty() && open != target)
            return "\"" + target.filename().string() + "\" is the name of " + kind + " \"" + d.Name() +
                   "\", which is open; a document is never saved under it. Choose another name.";
    }
    return {};
}

void ModMsWordCurrentDocument::UpdateCustomDocumentProperty(const std::string& value) {
    Handled(kModule, "UpdateCustomDocumentProperty", kErrLog | kErrRaise, [&] {
        word::CustomProperties& props = app_.ActiveDocument().CustomDocumentProperties();
        if (PropertyExist(kVersionProperty)) props.Item(std::string(kVersionProperty)).Value = value;
        else props.Add(kVersionProperty, false, value, 4);
        ModifyCurrentDocument();
    });
}

} // namespace qz::designer
