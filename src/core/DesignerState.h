// What the rest of the system reads of the designer: the active template's
// state (folder, file names, read-only flag, last preview output), the help
// centre of the dialogs' Help buttons, and the prompt for query parameters.
// The designer implements it and stores itself in goDesigner (ModGlobal.h);
// dialogs and modules of every subsystem reach the state through that
// reference. Only the designer's own commands change the state.
#pragma once

#include "platform/ado/SqlParameter.h"

#include <string>

namespace qz {

class HelpCenter;

class DesignerState {
public:
    virtual ~DesignerState() = default;

    // True when the template document or its QZC file is read-only.
    virtual bool TemplateReadOnly() const = 0;
    virtual void SetTemplateReadOnly(bool value) = 0;
    // Folder of the active template, without a trailing separator.
    virtual std::string TemplatePath() const = 0;
    virtual void SetTemplatePath(const std::string& value) = 0;
    // File name (no folder) of the active template's QZC file; "" when the
    // active document is no template.
    virtual std::string QzcFileName() const = 0;
    virtual void SetQzcFileName(const std::string& value) = 0;
    // File name (no folder) of the active template document.
    virtual std::string TemplateFileName() const = 0;
    virtual void SetTemplateFileName(const std::string& value) = 0;
    // Full name of the file the last preview wrote.
    virtual std::string PreviewOutputFile() const = 0;
    virtual void SetPreviewOutputFile(const std::string& value) = 0;

    // The help centre that every dialog's Help button uses.
    virtual HelpCenter& GetHelpCenter() = 0;

    // The SQL text with each "?" of its WHERE conditions answered by a value
    // the user is asked for, and the values to bind to its "?".
    virtual ado::BoundSql ResolveSqlParameters(const std::string& sql) = 0;
};

// The program's own version, major.minor.revision, each a decimal number
// without leading zeros ("8.2.2"). Templates are stamped with it.
std::string ProgramVersion();

} // namespace qz
