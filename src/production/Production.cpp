#include "production/Production.h"

#include "production/Errors.h"
#include "production/TemplateFiles.h"

#include "config/QZCFile.h"
#include "core/ModGlobal.h"
#include "platform/ado/Connection.h"
#include "platform/ado/Recordset.h"
#include "platform/automation/Text.h"
#include "platform/script/ScriptControl.h"
#include "platform/script/runtime/Runtime.h"
#include "platform/system/CodePage.h"
#include "platform/system/Folders.h"
#include "platform/system/Paths.h"
#include "resources/MessageIds.h"

#include <dlfcn.h>

#include <cmath>
#include <filesystem>

namespace qz::production {

namespace fs = std::filesystem;

namespace {

constexpr const char* kModule = "Production";

// FileExist: whether a regular file exists.
bool FileExist(const std::string& path) { return sys::regularFileExists(path); }

// A file to read must be there and be a regular file: a folder, a named pipe
// or a device is said to be one, not to be missing.
void RequireRegularFile(const std::string& path) {
    if (FileExist(path)) return;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) raiseOwnError(msg::FileDoesNotExist);
    RaiseError(msg::FileDoesNotExist, "The file specified is not a regular file (a folder, a named pipe or a "
                                      "device cannot be read as one).");
}

// A script library as program text: Windows-1252 (UTF-8 when the file starts
// with a byte-order mark), line ends made CR LF so that lines count and map
// back the same way whatever system wrote the file.
std::string ReadLibraryText(const std::string& path) {
    std::string bytes = readWholeFile(path);
    std::string text;
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) text = bytes.substr(3);
    else text = sys::cp1252ToUtf8(bytes);
    return crLfFromAnyBreak(text);
}

// CountLines: CR LF pairs + 1.
std::int32_t CountLines(std::string_view text) {
    std::int32_t n = 1;
    for (std::size_t p = text.find("\r\n"); p != std::string_view::npos; p = text.find("\r\n", p + 2))
        ++n;
    return n;
}

// The folder of the script libraries: that of the shared library that holds
// this code, or the running program's data folder.
std::string ModuleFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) && info.dli_fname) {
        const fs::path p(info.dli_fname);
        if (p.extension() == ".so" || p.string().find(".so.") != std::string::npos)
            return p.parent_path().string();
    }
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : sys::dataFolderOf(exe.parent_path().string());
}

// The time-out in whole milliseconds, halves to the even neighbour.
std::int32_t RoundTimeOut(double ms) {
    if (!std::isfinite(ms)) return ms > 0 ? INT32_MAX : 0;
    const double r = std::nearbyint(ms);  // default rounding mode: to nearest, ties to even
    if (r >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    if (r <= static_cast<double>(INT32_MIN)) return INT32_MIN;
    return static_cast<std::int32_t>(r);
}

} // namespace

std::string FindFileNoCase(const std::string& path) {
    if (FileExist(path)) return path;
    const fs::path p(path);
    const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    const std::u16string name = fromUtf8(p.filename().string());
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (equalsNoCase(fromUtf8(it->path().filename().string()), name) && it->is_regular_file(ec))
            return it->path().string();
    }
    return {};
}

std::string TemplateFileKind(const std::string& file, const std::string& templateFile) {
    std::error_code ec;
    const fs::path f = fs::weakly_canonical(fs::absolute(file, ec), ec);
    if (ec) return {};
    const fs::path t = fs::weakly_canonical(fs::absolute(templateFile, ec), ec);
    if (ec || f.parent_path() != t.parent_path()) return {};
    const std::u16string name = fromUtf8(f.filename().string());
    const std::pair<std::string, const char*> kinds[] = {
        {templateFile, "the template"},
        {CompanionName(templateFile, ".qzc"), "the template's QZC file"},
        {CompanionName(templateFile, ".vbs"), "the template's script module"}};
    for (const auto& [path, kind] : kinds)
        if (equalsNoCase(fromUtf8(fs::path(path).filename().string()), name)) return kind;
    return {};
}

Production::Production()
    : scriptControl_(std::make_unique<script::ScriptControl>()),
      runTime_(makeRef<RunTime>()),
      programFolder_(ModuleFolder()) {
    Main();
    ado::registerCreatables(&script::registerCreatable); // CreateObject("ADODB.Connection") in templates
    scriptControl_->setAllowUI(false);
    scriptControl_->setLanguage("VBScript");
    scriptControl_->onError = [this] { OnScriptError(); };
    scriptControl_->onTimeout = [this] { OnScriptTimeout(); };
}

Production::~Production() {
    runTime_->CloseOutputFileClean();
}

bool Production::AllowUI() const { return scriptControl_->AllowUI(); }
std::int64_t Production::MemoryLimit() const { return scriptControl_->MemoryLimit(); }
void Production::MemoryLimit(std::int64_t bytes) { scriptControl_->setMemoryLimit(bytes); }
void Production::AllowUI(bool allow) { scriptControl_->setAllowUI(allow); }

void Production::TemplateFile(const std::string& path) {
    Handled(kModule, "TemplateFile", kErrLog | kErrRaise, [&] {
        RequireRegularFile(path);
        templateFile_ = path;
        built_flag_ = false;
    });
}

std::vector<std::string> Production::ObjectNames() const {
    std::vector<std::string> names;
    for (const ObjectRecord& r : objects_) names.push_back(r.Name);
    return names;
}

void Production::AddObject(const std::string& sName, Ref<Dispatch> oObject) {
    Handled(kModule, "AddObject", kErrLog | kErrRaise, [&] {
        std::string name(trimSpaces(sName));
        if (name.empty()) raiseOwnError(msg::InvalidObjectName);
        // ObjectExists: names compare as the script compares them, without regard to case.
        const std::u16string key = fromUtf8(name);
        for (const ObjectRecord& r : objects_)
            if (equalsNoCase(fromUtf8(r.Name), key)) raiseOwnError(msg::ObjectNameTaken);
        objects_.push_back({std::move(oObject), std::move(name)});
    });
}

void Production::AddProperty(const std::string& sName, const Variant& vntValue) {
    Handled(kModule, "AddProperty", kErrLog | kErrRaise, [&] {
        if (vntValue.isObject()) raiseOwnError(msg::ObjectPropertyValue);
        Ref<QZObject> o = makeRef<QZObject>();
        o->Name(sName);
        o->Value(vntValue);
        AddObject(o->Name(), o);
    });
}

void Production::AddXmlRecordset(const std::string& sName, const std::string& sXmlFileName) {
    Handled(kModule, "AddXmlRecordset", kErrLog | kErrRaise, [&] {
        RequireRegularFile(sXmlFileName);
        Ref<ado::Recordset> rs = makeRef<ado::Recordset>();
        Variant clientCursor(static_cast<std::int32_t>(3));
        rs->invokeByName(u"CursorLocation", kInvokePropertyPut, std::span<Variant>(&clientCursor, 1));
        rs->open(Variant::fromUtf8(sXmlFileName), Variant::fromUtf8("Provider=MSPersist;"), 256);
        AddObject(sName, rs);
    });
}

void Production::ClearObjects() {
    Handled(kModule, "ClearObjects", kErrLog | kErrRaise, [&] {
        objects_.clear();
        objects_.shrink_to_fit();
        scriptControl_->Reset();
    });
}

void Production::Reset() {
    Handled(kModule, "Reset", kErrLog | kErrRaise, [&] {
        ClearObjects();
        built_.Program.clear();
        built_flag_ = false;
    });
}

void Production::GetQzcGlobalInfo(const std::string& qzcPath) {
    Handled(kModule, "GetQzcGlobalInfo", kErrLog | kErrRaise, [&] {
        QZCFile file;
        file.Load(qzcPath);
        // The defaults are this template's alone: nothing of a template
        // produced earlier by this object stays in them.
        defaults_ = TemplateDefaults();
        const auto& props = file.TemplateProperties();
        if (!props) return;
        // A locale that cannot be read leaves the default (no locale), and
        // the log says so.
        Handled(kModule, "GetQzcGlobalInfo", kErrLog, [&] { defaults_.Locale = convertToLong(props->Locale); });
        defaults_.CurrencyFormat = props->CurrencyFormat;
        defaults_.DateTimeFormat = props->DateTimeFormat;
        defaults_.NumberFormat = props->NumberFormat;
        defaults_.PercentFormat = props->PercentFormat;
        defaults_.StringFormat = props->StringFormat;
    });
}

void Production::RetrieveQzTemplateGlobalInfo() {
    Handled(kModule, "RetrieveQzTemplateGlobalInfo", kErrLog | kErrRaise, [&] {
        if (!FileExist(templateFile_)) raiseOwnError(msg::NoTemplateFile);
        const std::string qzc = FindFileNoCase(CompanionName(templateFile_, ".qzc"));
        if (qzc.empty()) raiseOwnError(msg::NoQzcFile);
        GetQzcGlobalInfo(qzc);
    });
}

void Production::AddModuleUtility(BuiltProgram& b) {
    Handled(kModule, "AddModuleUtility", kErrLog | kErrRaise, [&] {
        std::string front;
        // AddTemplateModule: the template's own module beside it.
        b.ModuleLines = 0;
        b.ModuleFileName.clear();
        std::string module;
        Handled(kModule, "AddTemplateModule", kErrLog, [&] {
            if (!templateFile_.empty()) {
                const std::string path = FindFileNoCase(CompanionName(templateFile_, ".vbs"));
                if (!path.empty()) {
                    module = ReadLibraryText(path);
                    b.ModuleLines = CountLines(module);
                    b.ModuleFileName = fs::path(path).filename().string();
                }
            }
        });
        // AddCustomModule: the customer's library, when present.
        b.QzCustomLines = 0;
        std::string custom;
        Handled(kModule, "AddCustomModule", kErrLog, [&] {
            const std::string path = FindFileNoCase(programFolder_ + "/qzCustom.vbs");
            if (!path.empty()) {
                custom = ReadLibraryText(path);
                b.QzCustomLines = CountLines(custom);
            }
        });
        // AddQzLibModule: the program's library, required.
        b.QzLibLines = 0;
        const std::string lib = Handled(kModule, "AddQzLibModule", kErrLog | kErrRaise, [&] {
            const std::string path = FindFileNoCase(programFolder_ + "/qzLib.vbs");
            if (path.empty()) raiseOwnError(msg::QzLibMissing);
            return ReadLibraryText(path);
        });
        b.QzLibLines = CountLines(lib);

        front.reserve(lib.size() + custom.size() + module.size() + 6 + b.Program.size());
        front += "\r\n";
        front += lib;
        if (b.QzCustomLines) {
            front += "\r\n";
            front += custom;
        }
        if (b.ModuleLines) {
            front += "\r\n";
            front += module;
        }
        front += b.Program;
        b.Program.swap(front);
    });
}

void Production::ParseQzTemplate() {
    Handled(kModule, "ParseQzTemplate", kErrLog | kErrRaise, [&] {
        // Reading the template and making its program count against the
        // script's memory ceiling as running it does.
        memory::CeilingScope ceiling(MemoryLimit());
        if (built_flag_ && built_.Program.find_first_not_of(' ') != std::string::npos) return;
        built_flag_ = false;
        built_ = BuiltProgram();
        runs_.reset();

        BuiltProgram b;
        RtfInterpreter reader;
        Handled(kModule, "ParseRtfTemplate", kErrLog | kErrRaise, [&] {
            reader.TemplateFile(templateFile_);
            reader.ParseRtfTemplate();
        });
        b.Program = CreateVirtualProgram(reader, defaults_, b.Table);
        // The document is whole once its last element, a run, is written.
        const std::int32_t n = reader.NbElement();
        const std::int64_t finalRun =
            n > 0 && reader.GetElementType(n - 1) == kElementRtf ? reader.GetElementPosition(n - 1) : -1;
        auto runs = std::make_shared<const RtfRuns>(reader.TakeRtfRuns());
        AddModuleUtility(b);

        built_ = std::move(b);
        runs_ = std::move(runs);
        finalRun_ = finalRun;
        built_flag_ = true;
    });
}

void Production::RunVirtualProgram() {
    try {
        scriptControl_->Run("Main");
    } catch (...) {
        AutomationError e = CurrentError();
        e.Number = OwnErrorNumber(msg::ScriptRunFailed);
        HandleError(e, kModule, "RunVirtualProgram", useEventError_ ? kErrLog : kErrLog | kErrRaise);
    }
}

void Production::Execute() {
    HandledWithCleanUp(kModule, "Execute", kErrLog | kErrRaise, [&] {
        RetrieveQzTemplateGlobalInfo();
        ParseQzTemplate();

        runTime_->OutputFile(outputFile_);
        runTime_->OpenOutputFile();
        runTime_->RtfCollection(runs_);
        runTime_->FinalRun(finalRun_);

        scriptControl_->Reset();
        for (const ObjectRecord& r : objects_) scriptControl_->AddObject(r.Name, r.Object, false);
        scriptControl_->AddObject("oRun", runTime_, false);
        scriptControl_->setTimeout(RoundTimeOut(timeOut_));

        runFailed_ = false;
        Handled(kModule, "AddCodeToScriptControl", kErrLog | kErrRaise, [&] { scriptControl_->AddCode(built_.Program); });
        try {
            RunVirtualProgram();
        } catch (...) {
            if (!runTime_->WriteError()) throw;
        }
        // A document that could not be written whole is reported as such, not
        // as the script's failure at the field that happened to write last.
        if (const int e = runTime_->WriteError()) throw runTime_->OutputError(e);
        // A program that left Main before the end of the document (Exit Sub,
        // End Sub followed by more code, the output closed by the script)
        // fails as a script error would, rather than leave a partial document.
        if (!runFailed_ && (runTime_->IsOpen() ? !runTime_->AtEnd() : !runTime_->Committed())) ReportEarlyEnd();
        // A run stopped by a script error or the time-out leaves the document
        // that was there before as it was.
        if (runFailed_) runTime_->CloseOutputFileClean();
        else runTime_->CloseOutputFile();
    }, [&] { runTime_->CloseOutputFileClean(); });
}

// The script control's error event: maps the error back to its field and
// reports it. Never fails.
void Production::OnScriptError() {
    runFailed_ = true;
    gbScriptErrorOccurred = true;
    // A failed write of the output is reported by Execute itself.
    if (runTime_->WriteError()) return;
    Quietly([&] {
        const script::ScriptError& err = scriptControl_->Error();
        QzFieldInfo info;
        try {
            if (err.Line != 0) info = RetrieveQzFieldInfo(built_, err.Line);
        } catch (...) {
        }
        ExecutionErrorInfo e;
        e.lNumber = err.Number;
        e.sSource = err.Source;
        e.sDescription = MappedDescription(info, err.Number, err.Description);
        e.sText = info.Text;
        e.lFieldLine = info.FieldLine;
        e.sFieldLabel = info.SourceName;
        e.eQzFieldType = info.Location;
        if (useEventError_ && ExecutionError) ExecutionError(e);
    });
}

// Reports a document cut short: through ExecutionError, naming the statement
// that most likely ended the program, or as Execute's own error.
void Production::ReportEarlyEnd() {
    runFailed_ = true;
    gbScriptErrorOccurred = true;
    const QzFieldInfo info = FindEarlyExit(built_, runTime_->LastRun());
    ExecutionErrorInfo e;
    e.lNumber = OwnErrorNumber(msg::ScriptRunFailed);
    e.sSource = kModule;
    if (!runTime_->ClosedBy().empty()) {
        e.sDescription = runTime_->ClosedBy() + " closed the document before its end; the output was not written";
    } else {
        e.sDescription = "The program ended before the end of the document";
        if (info.Location == qzstFieldStatement)
            e.sDescription += " at the statement field \"" + info.SourceName + "\" (line " +
                              std::to_string(info.FieldLine) + ": " + info.Text + ")";
        e.sDescription += "; the output was not written";
        e.sText = info.Text;
        e.lFieldLine = info.FieldLine;
        e.sFieldLabel = info.SourceName;
        e.eQzFieldType = info.Location;
    }
    if (useEventError_ && ExecutionError) {
        ExecutionError(e);
        return;
    }
    throw AutomationError(e.lNumber, e.sSource, e.sDescription);
}

// The script control's time-out event. The stopped run counts as a script
// error (the document is incomplete). A failure of the receiver is logged; it
// cannot be raised back through the script control.
void Production::OnScriptTimeout() {
    runFailed_ = true;
    gbScriptErrorOccurred = true;
    Handled(kModule, "m_oScriptControl_Timeout", kErrLog, [&] {
        if (ExecutionTimeOut) ExecutionTimeOut();
    });
}

} // namespace qz::production
