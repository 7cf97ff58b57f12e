// qzstudio: produces a document from a template on the command line, driving
// the production engine as any client would.
//
//   qzstudio produce invoice.rtf -o out.rtf --xml-recordset Orders=orders.xml
//            --property Customer="ACME" --timeout 30000
#include "config/QZCFile.h"
#include "core/ModDesigner.h"
#include "core/ModErrors.h"
#include "core/ManPage.h"
#include "core/ModGlobal.h"
#include "platform/ado/ConnectionString.h"
#include "platform/automation/MemoryMeter.h"
#include "platform/automation/Text.h"
#include "platform/system/Files.h"
#include "platform/system/Paths.h"
#include "production/Production.h"
#include "production/QueryParameters.h"
#include "production/TemplateData.h"
#include "production/TemplateFiles.h"
#include "resources/MessageIds.h"

#include <CLI/CLI.hpp>

#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#ifndef QZ_VERSION
#define QZ_VERSION "0.0.0"
#endif

namespace {

using qz::production::ExecutionErrorInfo;
using qz::production::Production;

// "NAME=VALUE" split at the first "=".
bool splitAssignment(const std::string& s, std::string& name, std::string& value) {
    const std::size_t eq = s.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    name = s.substr(0, eq);
    value = s.substr(eq + 1);
    return true;
}

const char* fieldKindName(qz::production::qzstFieldType t) {
    switch (t) {
    case qz::production::qzstFieldExpression: return "expression";
    case qz::production::qzstFieldStatement: return "statement";
    case qz::production::qzstFieldModule: return "module";
    default: return "none";
    }
}

// An error number as the user reads it: the system's own by message id.
std::string errorNumberText(std::int32_t number) {
    const std::uint32_t n = static_cast<std::uint32_t>(number);
    const std::uint32_t base = static_cast<std::uint32_t>(qz::kOwnErrorBase);
    return std::to_string(n >= base && n < base + 0x10000 ? static_cast<std::int64_t>(n - base) : number);
}

// Where the error is, in the author's words: the field by its label and the
// line within it, the module line, or why it is in no field at all.
std::string placeOf(const ExecutionErrorInfo& e) {
    const std::string line = std::to_string(e.lFieldLine);
    switch (e.eQzFieldType) {
    case qz::production::qzstFieldStatement:
        return "statement field \"" + e.sFieldLabel + "\", line " + line + " of the field";
    case qz::production::qzstFieldExpression: return "expression field \"" + e.sFieldLabel + "\"";
    case qz::production::qzstFieldModule: return e.sFieldLabel + ", line " + line;
    default: break;
    }
    // A program too large to compile is the fields together, no one of them.
    const bool compiling = e.sSource.find("compilation") != std::string::npos;
    if (compiling && e.lNumber == 7)
        return "the whole template: its fields together make a program larger than the memory ceiling allows "
               "(see --memory-limit)";
    // The program's own lines between the fields: a compile error there comes
    // from a block that a statement field opened and no field closed.
    if (compiling)
        return "outside any field: a statement field opens a block (If, For, Do, While, Select, With) that no "
               "field closes, or closes one that none opened";
    return "outside any field";
}

void reportScriptError(const ExecutionErrorInfo& e) {
    std::cerr << "qzstudio: script error " << errorNumberText(e.lNumber) << ": " << e.sDescription << "\n"
              << "  source: " << e.sSource << "\n"
              << "  field kind: " << static_cast<int>(e.eQzFieldType) << " ("
              << fieldKindName(e.eQzFieldType) << ")\n"
              << "  field label: " << e.sFieldLabel << "\n"
              << "  field line: " << e.lFieldLine << "\n"
              << "  text: " << e.sText << "\n"
              << "  where: " << placeOf(e) << "\n";
}

// Reports a failure with the system's message id when it is one of its own;
// context names what was being read, when known.
void reportError(const qz::AutomationError& e, const std::string& context) {
    std::cerr << "qzstudio: ";
    if (!context.empty()) std::cerr << context << ": ";
    std::cerr << "error " << errorNumberText(e.Number) << ": " << e.Description << "\n";
}

struct ProduceOptions {
    std::string templateFile;
    std::string outputFile;
    std::vector<std::string> properties;
    std::vector<std::string> xmlRecordsets;
    bool connections = true;
    std::vector<std::string> parameters;
    double timeOut = 0;
    std::int64_t memoryLimitMb = -1;  // -1: the engine's default
};

// The files a run reads: the template and its companions (found without
// regard to case, as the engine finds them), the script libraries, the
// saved recordsets given, and the template's own data files and folders.
std::vector<std::string> filesRead(const ProduceOptions& o, const std::string& programFolder) {
    namespace fs = std::filesystem;
    using qz::production::CompanionName;
    using qz::production::FindFileNoCase;
    std::vector<std::string> files{o.templateFile};
    for (const char* ext : {".qzc", ".vbs"}) files.push_back(FindFileNoCase(CompanionName(o.templateFile, ext)));
    for (const char* lib : {"/qzLib.vbs", "/qzCustom.vbs"}) files.push_back(FindFileNoCase(programFolder + lib));
    for (const std::string& a : o.xmlRecordsets) {
        std::string name, file;
        if (splitAssignment(a, name, file)) files.push_back(file);
    }
    const std::string qzc = files[1];
    if (qzc.empty()) return files;
    const std::string folder = fs::absolute(fs::path(o.templateFile)).parent_path().string();
    try {
        qz::QZCFile file;
        file.Load(qzc);
        if (!file.ConnectionList()) return files;
        for (const auto& conn : file.ConnectionList()->List()) {
            if (conn->ConnectionType == "8") {
                if (conn->CommandList())
                    for (const auto& cmd : conn->CommandList()->List())
                        files.push_back(qz::AdjustConnectionString(cmd->Text, true, folder));
                continue;
            }
            const std::string cs = qz::AdjustConnectionString(conn->DataSource, false, folder);
            if (cs.find('=') == std::string::npos) files.push_back(std::string(qz::trimSpaces(cs)));
            for (const auto& pair : qz::ado::parseConnectionString(cs))
                for (const char* key : {"Data Source", "DBQ", "Database"})
                    if (qz::equalsNoCaseAscii(pair.key, key)) files.push_back(pair.value);
        }
    } catch (const qz::AutomationError&) {
        // A QZC file that cannot be read fails the run with its own error.
    }
    return files;
}

// The file read by the run that writing `output` would replace, or "". A data
// source that is a folder of text files covers every file inside it.
std::string readFileAt(const std::string& output, const std::vector<std::string>& read) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(output, ec)) return {};
    const fs::path parent = fs::absolute(output, ec).parent_path();
    for (const std::string& written : read) {
        const std::string f = qz::sys::localPath(written);  // as a data source may be written on Windows
        if (f.empty() || !fs::exists(f, ec)) continue;
        if (fs::equivalent(output, f, ec) || (fs::is_directory(f, ec) && fs::equivalent(parent, f, ec))) return f;
    }
    return {};
}

// Answers the "?" parameters of the commands' SQL: the --param values in the
// order they are asked for, then, on a terminal, the user's typed answers.
// Without either the command is left out, as a preview leaves out a command
// it cannot open, and the reason is reported. An answer must be one value:
// a typed one is asked for again; the given ones were checked with the
// command line.
class ParameterAnswers {
public:
    explicit ParameterAnswers(const std::vector<std::string>& given) : given_(given) {}

    // The text to run; a parameter left without a value leaves the command
    // out, with the reason.
    qz::ado::BoundSql resolve(const std::string& sql) {
        missing_.clear();
        qz::ado::BoundSql text = qz::production::ResolveSqlParameters(
            sql, [this](const std::string& caption) -> std::optional<std::string> {
                if (next_ < given_.size()) return given_[next_++];
                if (isatty(STDIN_FILENO)) {
                    for (std::string line;;) {
                        std::cerr << caption << " ";
                        if (!std::getline(std::cin, line)) break;
                        const std::string problem = qz::production::ParameterAnswerProblem(line);
                        if (problem.empty()) return line;
                        std::cerr << problem << "\n";
                    }
                }
                missing_ = caption;
                throw qz::AutomationError(qz::kErrorFail, "qzstudio", "no value");
            });
        if (!missing_.empty())
            throw qz::AutomationError(qz::kErrorFail, "qzstudio",
                                      "no value for \"" + missing_ + "\" (give it with --param)");
        return text;
    }

    // Says each answer that no command asked for, rather than dropping it.
    void warnUnused() const {
        for (std::size_t i = next_; i < given_.size(); ++i)
            std::cerr << "qzstudio: warning: --param \"" << given_[i] << "\" was not used: the commands asked for "
                      << next_ << (next_ == 1 ? " value" : " values") << "\n";
    }

private:
    const std::vector<std::string>& given_;
    std::size_t next_ = 0;
    std::string missing_;
};

// Opens the template's own connections and commands as a preview does and
// registers every recordset under its command name; what could not be opened
// is reported and left out. An object given on the command line under a
// command's name takes that command's place.
void openTemplateData(qz::production::TemplateData& data, Production& p, const std::string& templateFile,
                      ParameterAnswers& answers) {
    namespace fs = std::filesystem;
    const std::string qzc =
        qz::production::FindFileNoCase(qz::production::CompanionName(templateFile, ".qzc"));
    if (qzc.empty()) qz::RaiseError(qz::msg::NoQzcFile);
    data.Open(qzc, fs::absolute(fs::path(templateFile)).parent_path().string(),
              [&](const std::string& sql) { return answers.resolve(sql); });
    for (const auto& s : data.SkippedItems()) {
        std::cerr << "qzstudio: left out connection \"" << s.connection << "\"";
        if (!s.command.empty()) std::cerr << ", command \"" << s.command << "\"";
        std::cerr << ": " << s.reason << "\n";
    }
    const std::vector<std::string> given = p.ObjectNames();
    data.Register([&](const std::string& name, qz::Ref<qz::Dispatch> rs) {
        for (const std::string& g : given)
            if (qz::equalsNoCaseAscii(g, name)) return;
        p.AddObject(name, rs);
    });
}

int produce(const ProduceOptions& o) {
    std::string context;  // the file being read, for the report of a failure
    bool scriptFailed = false;
    bool timedOut = false;
    const auto notWritten = [&] {
        std::cerr << "qzstudio: " << o.outputFile << " was not written; a file there before is as it was\n";
    };
    std::optional<Production> engine;
    try {
        Production& p = engine.emplace();
        p.UseEventError(true);
        p.ExecutionError = [&](const ExecutionErrorInfo& e) {
            scriptFailed = true;
            reportScriptError(e);
        };
        p.ExecutionTimeOut = [&] { timedOut = true; };

        for (const std::string& a : o.properties) {
            std::string name, value;
            if (!splitAssignment(a, name, value)) {
                std::cerr << "qzstudio: --property needs NAME=VALUE, got \"" << a << "\"\n";
                return 2;
            }
            p.AddProperty(name, qz::Variant::fromUtf8(value));
        }
        for (const std::string& a : o.xmlRecordsets) {
            std::string name, file;
            if (!splitAssignment(a, name, file)) {
                std::cerr << "qzstudio: --xml-recordset needs NAME=FILE, got \"" << a << "\"\n";
                return 2;
            }
            context = file;
            p.AddXmlRecordset(name, file);
        }
        context = o.templateFile;
        p.TemplateFile(o.templateFile);
        if (const std::string read = readFileAt(o.outputFile, filesRead(o, p.ProgramFolder())); !read.empty()) {
            std::cerr << "qzstudio: the output would replace " << read
                      << ", which this run reads; choose another file\n";
            return 2;
        }
        // A file of the template that does not exist yet would become one.
        if (const std::string kind = qz::production::TemplateFileKind(o.outputFile, o.templateFile); !kind.empty()) {
            std::cerr << "qzstudio: the output " << o.outputFile << " would become " << kind
                      << "; choose another file\n";
            return 2;
        }
        qz::production::TemplateData data;
        ParameterAnswers answers(o.parameters);
        // The data the template's connections load counts against the
        // memory ceiling together with the script that reads it.
        if (o.memoryLimitMb >= 0) p.MemoryLimit(o.memoryLimitMb << 20);
        const qz::memory::CeilingScope ceiling(p.MemoryLimit());
        if (o.connections) openTemplateData(data, p, o.templateFile, answers);
        answers.warnUnused();
        p.OutputFile(o.outputFile);
        p.TimeOut(o.timeOut);
        p.Execute();
    } catch (const qz::AutomationError& e) {
        // A compile error was already reported through the event; a failure
        // of the output names the output itself.
        const bool outputFailed = engine && engine->OutputError();
        if (!scriptFailed) reportError(e, outputFailed ? std::string() : context);
        if (timedOut) std::cerr << "qzstudio: the script was stopped by the time-out\n";
        if (outputFailed || scriptFailed || timedOut) notWritten();
        return 1;
    }
    if (timedOut) std::cerr << "qzstudio: the script was stopped by the time-out\n";
    if (scriptFailed || timedOut) {
        notWritten();
        return 1;
    }
    return 0;
}

// Interrupted or stopped: the half-made document is removed, the output
// stays as it was, and the user is told.
extern "C" void onStopSignal(int sig) {
    qz::sys::removeOpenReplacements();
    static const char text[] = "qzstudio: stopped; the output was not written, a file there before is as it was\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, text, sizeof text - 1);
    ::_exit(128 + sig);
}

// The manual page, from the same options and texts as --help: the commands
// and their options, then where the files are.
std::string manPage(const CLI::App& app) {
    qz::ManPage page{"qzstudio", app.get_description(), std::string("Quorvane Studio ") + QZ_VERSION, {}, {}};
    const auto entries = [](const CLI::App& a, bool positional) {
        std::vector<qz::ManPageEntry> list;
        for (const CLI::Option* opt : a.get_options()) {
            if (opt->get_positional() != positional || opt->get_group().empty()) continue;
            std::string names;
            for (const std::string& n : opt->get_snames()) names += (names.empty() ? "-" : ", -") + n;
            for (const std::string& n : opt->get_lnames()) names += (names.empty() ? "--" : ", --") + n;
            if (positional) names = opt->get_name(true);
            else if (opt->get_type_size_max() > 0 && !opt->get_type_name().empty()) names += " " + opt->get_type_name();
            list.push_back({names, opt->get_description()});
        }
        return list;
    };
    page.synopsis.push_back("[--help] [--version]");
    page.sections.push_back({"DESCRIPTION", app.get_description() + ".", entries(app, false)});
    for (const CLI::App* cmd : app.get_subcommands([](const CLI::App*) { return true; })) {
        std::string usage = cmd->get_name() + " [OPTIONS]";
        for (const CLI::Option* opt : cmd->get_options())
            if (opt->get_positional()) usage += " " + opt->get_name(true);
        page.synopsis.push_back(usage);
        qz::ManPageSection section{"COMMAND " + cmd->get_name(), "qzstudio " + usage + "\n\n" +
                                   cmd->get_description() + ".", entries(*cmd, true)};
        for (qz::ManPageEntry& e : entries(*cmd, false)) section.entries.push_back(std::move(e));
        page.sections.push_back(std::move(section));
    }
    page.sections.push_back({"EXIT STATUS",
                             "0: the document was written. 1: it was not (the template, the data or the script "
                             "failed; the reason is written to standard error). 2: the command line was wrong.",
                             {}});
    page.sections.push_back({"FILES", qz::FilesLocationRules(), {}});
    page.sections.push_back({"SEE ALSO", "quorvane-studio(1)", {}});
    return qz::ManPageText(page);
}

// A command line that cannot be run: one line naming what is wrong and where
// the help is, and exit status 2.
int usageError(const CLI::App& produce, const std::string& what) {
    std::cerr << "qzstudio: " << std::string_view(what).substr(0, what.size() - what.ends_with('.')) << "; see \"qzstudio" << (produce.parsed() ? " produce" : "")
              << " --help\"\n";
    return 2;
}

// What is wrong with the command line, naming the option or the word.
std::string usageProblem(const CLI::App& produce, const CLI::ParseError& e, const std::vector<std::string>& args) {
    std::string what = e.what();
    what = what.substr(0, what.find('\n'));
    if (!produce.parsed()) {
        // Before the command: the first word names it, or an option of its own.
        for (const std::string& a : args)
            if (!a.empty() && a[0] != '-') return "unknown command \"" + a + "\" (the command is \"produce\")";
            else if (a != "--help" && a != "-h" && a != "--version" && a != "--help-man") return "unknown option " + a;
    }
    const int code = e.get_exit_code();
    if (code == static_cast<int>(CLI::ExitCodes::ExtrasError)) {
        // The words as given (the message lists them last first).
        std::string words;
        for (std::string rest = what.substr(what.find(':') + 1); !rest.empty();) {
            const std::size_t space = rest.rfind(' ');
            words += (words.empty() ? "" : " ") + rest.substr(space + 1);
            rest.resize(space == std::string::npos ? 0 : space);
        }
        return (words[0] == '-' ? "unknown option " : "unexpected argument ") + words;
    }
    if (code == static_cast<int>(CLI::ExitCodes::ArgumentMismatch)) return what.substr(0, what.find(':')) + " needs a value";
    if (code == static_cast<int>(CLI::ExitCodes::RequiredError) && !produce.parsed())
        return "no command given (the command is \"produce\")";
    return what;
}

// An answer for a "?" must be one value, whether or not a command asks for it.
std::string answerProblem(std::string& text) { return qz::production::ParameterAnswerProblem(text); }

// A time-out as written, whatever the locale: a number of milliseconds, 0 or more.
std::string millisecondsProblem(std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || at != end || !std::isfinite(value) || value < 0)
        return "\"" + text + "\" is not a number of milliseconds (0 or more)";
    return {};
}

} // namespace

int main(int argc, char** argv) {
    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &stop, nullptr);

    CLI::App app{"Produces RTF documents from Quorvane templates and data", "qzstudio"};
    app.set_version_flag("--version", std::string("qzstudio ") + QZ_VERSION);
    app.require_subcommand(1);
    bool helpMan = false;
    app.add_flag("--help-man", helpMan, "Print this help as a manual page (man(7) markup) and exit");
    // The paragraph on the files is worked out only when the help is shown.
    app.footer([] { return qz::FilesLocationText(); });

    ProduceOptions o;
    CLI::App* cmd = app.add_subcommand("produce", "Produce a document from a template");
    cmd->footer([] { return qz::FilesLocationText(); });
    cmd->add_option("template", o.templateFile, "The template (.rtf; its .qzc file lies beside it)")
        ->required();
    cmd->add_option("-o,--output", o.outputFile,
                    "The RTF document to write (a file: it is written whole or not at all)")
        ->required()
        ->type_name("FILE");
    cmd->add_option("-p,--property", o.properties,
                    "A value for the script: NAME=VALUE, read as NAME.Value (repeatable)")
        ->type_name("NAME=VALUE");
    cmd->add_option("-x,--xml-recordset", o.xmlRecordsets,
                    "A saved recordset (XML) for the script: NAME=FILE (repeatable)")
        ->type_name("NAME=FILE");
    cmd->add_flag("-c,--connections,!--no-connections", o.connections,
                  "Open the template's own connections (its .qzc file) and register each command's records "
                  "(the default; --no-connections turns it off)");
    cmd->add_option("--param", o.parameters,
                    "A value for a \"?\" parameter of the commands' SQL, in the order asked (repeatable)")
        ->check(CLI::Validator(answerProblem, ""))
        ->type_name("VALUE");
    cmd->add_option("-t,--timeout", o.timeOut, "Script time-out in milliseconds (0: none)")
        ->check(CLI::Validator(millisecondsProblem, ""))
        ->type_name("MS");
    cmd->add_option("--memory-limit", o.memoryLimitMb,
                    "How far the script's memory may grow, in MB (0: no ceiling; default 2048)")
        ->check(CLI::Range(std::int64_t{0}, std::int64_t{1} << 30).description(""))
        ->type_name("MB");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        if (helpMan) {
            std::cout << manPage(app);
            return 0;
        }
        return usageError(*cmd, usageProblem(*cmd, e, std::vector<std::string>(argv + 1, argv + argc)));
    }
    // A document is written whole or not at all, which standard output
    // cannot promise.
    if (o.outputFile == "-")
        return usageError(*cmd, "--output: \"-\" (standard output) cannot take the document, which is written "
                                "whole or not at all: name a file");
    return produce(o);
}
