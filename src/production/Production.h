// Production: produces a document. It takes an RTF template (statement and
// expression fields) and the QZC file beside it, builds a script program from
// them once, runs that program in the script control with the output object
// oRun and the objects the caller registered, and so writes the output RTF.
//
//   Production p;
//   p.TemplateFile("/data/invoice.rtf");     // must exist (3010)
//   p.OutputFile("/tmp/out.rtf");
//   p.AddProperty("Customer", Variant::fromUtf8("ACME"));
//   p.AddObject("Orders", recordset);
//   p.UseEventError(true);
//   p.ExecutionError = [](const ExecutionErrorInfo& e) { ... };
//   p.Execute();
//
// Script errors come back either through the ExecutionError callback (with
// UseEventError) or as the error Execute raises. Failures are raised as
// AutomationError; the engine's own as 0x80040000 + message id.
#pragma once

#include "production/ProgramGenerator.h"
#include "production/RunTime.h"
#include "production/ScriptErrorMapping.h"

#include "platform/automation/Dispatch.h"
#include "platform/automation/Variant.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qz::script { class ScriptControl; }

namespace qz::production {

// The values of the ExecutionError event, in its parameter order.
struct ExecutionErrorInfo {
    std::int32_t lNumber = 0;
    std::string sSource;
    std::string sDescription;
    std::string sText;
    std::int32_t lFieldLine = 0;
    std::string sFieldLabel;
    qzstFieldType eQzFieldType = qzstFieldNone;
};

class Production {
public:
    Production();
    ~Production();
    Production(const Production&) = delete;
    Production& operator=(const Production&) = delete;

    // The template file; assigning checks that it exists (3010) and forces a
    // rebuild of the program at the next Execute.
    const std::string& TemplateFile() const { return templateFile_; }
    void TemplateFile(const std::string& path);

    const std::string& OutputFile() const { return outputFile_; }
    void OutputFile(std::string path) { outputFile_ = std::move(path); }

    // Script time-out in milliseconds (rounded half to even; 0: none).
    double TimeOut() const { return timeOut_; }
    void TimeOut(double ms) { timeOut_ = ms; }

    // How far the script's memory may grow in one run, in bytes (0: no
    // ceiling; by default the script control's); past it the run fails with error 7.
    std::int64_t MemoryLimit() const;
    void MemoryLimit(std::int64_t bytes);

    // Whether the script may show message and input boxes.
    bool AllowUI() const;
    void AllowUI(bool allow);

    // Script errors reported through ExecutionError instead of by Execute.
    bool UseEventError() const { return useEventError_; }
    void UseEventError(bool use) { useEventError_ = use; }

    // Produces the document. It is written whole or not at all: a run that
    // fails, is stopped by the time-out or cannot write leaves the file at
    // OutputFile as it was.
    void Execute();

    // The errno of the failure to write the output in the last Execute (0: none).
    int OutputError() const { return runTime_->WriteError(); }

    // Registers an object for the script under a name (trimmed; unique without
    // regard to case: 3007 for a blank name, 3008 for a name taken).
    void AddObject(const std::string& sName, Ref<Dispatch> oObject);
    // Registers a plain value, reached by the script as <name>.Value (3117 for an object).
    void AddProperty(const std::string& sName, const Variant& vntValue);
    // Opens a saved recordset (XML persistence format) and registers it (3010: no file).
    void AddXmlRecordset(const std::string& sName, const std::string& sXmlFileName);
    // Forgets all registered objects.
    void ClearObjects();
    // ClearObjects, then forgets the built program.
    void Reset();

    // Events, raised on the calling thread while Execute runs.
    std::function<void(const ExecutionErrorInfo&)> ExecutionError;
    std::function<void()> ExecutionTimeOut;

    // The folder holding qzLib.vbs and qzCustom.vbs: by default the folder of
    // the running program (or of the shared library holding the engine).
    const std::string& ProgramFolder() const { return programFolder_; }
    void ProgramFolder(std::string folder) { programFolder_ = std::move(folder); }

    // The built program (after a successful build), for inspection.
    const BuiltProgram& Program() const { return built_; }
    // The registered names, in registration order.
    std::vector<std::string> ObjectNames() const;

private:
    struct ObjectRecord {
        Ref<Dispatch> Object;
        std::string Name;
    };

    void RetrieveQzTemplateGlobalInfo();
    void GetQzcGlobalInfo(const std::string& qzcPath);
    void ParseQzTemplate();
    void AddModuleUtility(BuiltProgram& b);
    void RunVirtualProgram();
    void OnScriptError();
    void OnScriptTimeout();
    void ReportEarlyEnd();

    std::string templateFile_;
    std::string outputFile_;
    double timeOut_ = 0;
    bool useEventError_ = false;
    std::unique_ptr<script::ScriptControl> scriptControl_;
    Ref<RunTime> runTime_;
    std::vector<ObjectRecord> objects_;
    bool built_flag_ = false;
    bool runFailed_ = false;  // a script error or the time-out stopped the current run
    BuiltProgram built_;
    std::shared_ptr<const RtfRuns> runs_;
    std::int64_t finalRun_ = -1; // the run that closes the document (-1: none)
    TemplateDefaults defaults_;
    std::string programFolder_;
};

} // namespace qz::production
