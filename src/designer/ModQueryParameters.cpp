#include "designer/ModQueryParameters.h"

#include "designer/forms/frmParameters.h"
#include "platform/ui/UiHost.h"

namespace qz::designer {

ado::BoundSql ResolveSqlParameters(const std::string& sql) {
    return ResolveSqlParameters(sql, [](const std::string& caption) -> std::optional<std::string> {
        // An answer that is not one value is explained and asked for again.
        for (;;) {
            frmParameters form;
            form.Caption = caption;
            form.ShowModal();
            std::string value = form.txtParameter.Text;
            const bool cancelled = form.Cancelled;
            form.Unload();
            if (cancelled) return std::nullopt;
            const std::string problem = ParameterAnswerProblem(value);
            if (problem.empty()) return value;
            ui::currentHost().msgBox(problem, ui::vbOKOnly | ui::vbExclamation, caption);
        }
    });
}

} // namespace qz::designer
