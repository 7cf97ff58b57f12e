// The designer state of the example template (the invoice in the source
// tree's examples folder) for the samples of the field editors' windows.
#pragma once

#include "core/DesignerState.h"
#include "core/ModGlobal.h"
#include "platform/ui/TreeView.h"

#include <functional>

namespace qz::views {

// Runs `fill` with the designer state of the example template (the invoice
// in the source tree's examples folder), for the pictures of the windows.
inline void WithExampleTemplate(const std::function<void()>& fill) {
    struct Example : DesignerState {
        HelpCenter help;
        bool TemplateReadOnly() const override { return false; }
        void SetTemplateReadOnly(bool) override {}
        std::string TemplatePath() const override { return QZ_EXAMPLES_DIR; }
        void SetTemplatePath(const std::string&) override {}
        std::string QzcFileName() const override { return "invoice.qzc"; }
        void SetQzcFileName(const std::string&) override {}
        std::string TemplateFileName() const override { return "invoice.rtf"; }
        void SetTemplateFileName(const std::string&) override {}
        std::string PreviewOutputFile() const override { return {}; }
        void SetPreviewOutputFile(const std::string&) override {}
        HelpCenter& GetHelpCenter() override { return help; }
        ado::BoundSql ResolveSqlParameters(const std::string& sql) override { return {sql, {}}; }
    } example;
    DesignerState* before = goDesigner;
    goDesigner = &example;
    try {
        fill();
    } catch (...) {
    }
    goDesigner = before;
}

// Expands the roots and the first command of a data tree.
inline void ExpandFirstCommand(ui::TreeView& tree) {
    for (ui::Node* root : tree.Roots()) {
        root->Expanded = true;
        if (!root->Children().empty()) root->Children().front()->Expanded = true;
    }
}

} // namespace qz::views
