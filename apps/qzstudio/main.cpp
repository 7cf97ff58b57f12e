// qzstudio: produces a document from a template on the command line, driving
// the production engine as any client would.
//
//   qzstudio produce invoice.rtf -o out.rtf --xml-recordset Orders=orders.xml
//            --property Customer="ACME" --timeout 30000
#include "core/ModErrors.h"
#include "datasources/TemplateData.h"
#include "designer/ModQueryParameters.h"
#include "production/Production.h"
#include "production/TemplateFiles.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

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

void reportScriptError(const ExecutionErrorInfo& e) {
    std::cerr << "qzstudio: script error " << e.lNumber << ": " << e.sDescription << "\n"
              << "  source: " << e.sSource << "\n"
              << "  field kind: " << static_cast<int>(e.eQzFieldType) << " ("
              << fieldKindName(e.eQzFieldType) << ")\n"
              << "  field label: " << e.sFieldLabel << "\n"
              << "  field line: " << e.lFieldLine << "\n"
              << "  text: " << e.sText << "\n";
}

// Reports a failure with the system's message id when it is one of its own;
// context names what was being read, when known.
void reportError(const qz::AutomationError& e, const std::string& context) {
    const std::uint32_t n = static_cast<std::uint32_t>(e.Number);
    const std::uint32_t base = static_cast<std::uint32_t>(qz::kOwnErrorBase);
    std::cerr << "qzstudio: ";
    if (!context.empty()) std::cerr << context << ": ";
    if (n >= base && n < base + 0x10000)
        std::cerr << "error " << (n - base) << ": ";
    else
        std::cerr << "error " << e.Number << ": ";
    std::cerr << e.Description << "\n";
}

// Whether writing `output` would replace the template or a file beside it
// that belongs to it (its .qzc or .vbs file).
bool writesOver(const std::string& output, const std::string& templateFile) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(output, ec)) return false;
    using qz::production::CompanionName;
    for (const std::string& own :
         {templateFile, CompanionName(templateFile, ".qzc"), CompanionName(templateFile, ".vbs")})
        if (fs::exists(own, ec) && fs::equivalent(output, own, ec)) return true;
    return false;
}

// Answers the "?" parameters of the commands' SQL: the --param values in the
// order they are asked for, then, on a terminal, the user's typed answers.
// Without either the command is left out, as a preview leaves out a command
// it cannot open, and the reason is reported.
class ParameterAnswers {
public:
    explicit ParameterAnswers(const std::vector<std::string>& given) : given_(given) {}

    std::string resolve(const std::string& sql) {
        return qz::designer::ResolveSqlParameters(
            sql, [this](const std::string& caption) -> std::optional<std::string> {
                if (next_ < given_.size()) return given_[next_++];
                if (isatty(STDIN_FILENO)) {
                    std::cerr << caption << " ";
                    std::string line;
                    if (std::getline(std::cin, line)) return line;
                }
                throw qz::AutomationError(qz::kErrorFail, "qzstudio",
                                          "no value for \"" + caption + "\" (give it with --param)");
            });
    }

private:
    const std::vector<std::string>& given_;
    std::size_t next_ = 0;
};

// Opens the template's own connections and commands as a preview does and
// registers every recordset under its command name; what could not be opened
// is reported and left out.
void openTemplateData(qz::datasources::TemplateData& data, Production& p, const std::string& templateFile,
                      ParameterAnswers& answers) {
    namespace fs = std::filesystem;
    const std::string qzc =
        qz::production::FindFileNoCase(qz::production::CompanionName(templateFile, ".qzc"));
    if (qzc.empty()) qz::RaiseError(3002);
    data.Open(qzc, fs::absolute(fs::path(templateFile)).parent_path().string(),
              [&](const std::string& sql) { return answers.resolve(sql); });
    for (const auto& s : data.SkippedItems()) {
        std::cerr << "qzstudio: left out connection \"" << s.connection << "\"";
        if (!s.command.empty()) std::cerr << ", command \"" << s.command << "\"";
        std::cerr << ": " << s.reason << "\n";
    }
    data.Register([&](const std::string& name, qz::Ref<qz::Dispatch> rs) { p.AddObject(name, rs); });
}

struct ProduceOptions {
    std::string templateFile;
    std::string outputFile;
    std::vector<std::string> properties;
    std::vector<std::string> xmlRecordsets;
    bool connections = false;
    std::vector<std::string> parameters;
    double timeOut = 0;
};

int produce(const ProduceOptions& o) {
    std::string context;  // the file being read, for the report of a failure
    bool scriptFailed = false;
    bool timedOut = false;
    try {
        Production p;
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
        if (writesOver(o.outputFile, o.templateFile)) {
            std::cerr << "qzstudio: the output would replace the template; choose another file\n";
            return 2;
        }
        qz::datasources::TemplateData data;
        ParameterAnswers answers(o.parameters);
        if (o.connections) openTemplateData(data, p, o.templateFile, answers);
        p.OutputFile(o.outputFile);
        p.TimeOut(o.timeOut);
        p.Execute();
    } catch (const qz::AutomationError& e) {
        // A compile error was already reported through the event.
        if (!scriptFailed) reportError(e, context);
        if (timedOut) std::cerr << "qzstudio: the script was stopped by the time-out\n";
        return 1;
    }
    if (timedOut) std::cerr << "qzstudio: the script was stopped by the time-out\n";
    if (scriptFailed || timedOut) {
        std::cerr << "qzstudio: " << o.outputFile << " may hold a partial document\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Quorvane Studio: produces RTF documents from templates and data", "qzstudio"};
    app.set_version_flag("--version", std::string("qzstudio ") + QZ_VERSION);
    app.require_subcommand(1);

    ProduceOptions o;
    CLI::App* cmd = app.add_subcommand("produce", "Produce a document from a template");
    cmd->add_option("template", o.templateFile, "The template (.rtf; its .qzc file lies beside it)")
        ->required();
    cmd->add_option("-o,--output", o.outputFile, "The RTF document to write")->required();
    cmd->add_option("-p,--property", o.properties,
                    "A value for the script: NAME=VALUE, read as NAME.Value (repeatable)");
    cmd->add_option("-x,--xml-recordset", o.xmlRecordsets,
                    "A saved recordset (XML) for the script: NAME=FILE (repeatable)");
    cmd->add_flag("-c,--connections", o.connections,
                  "Open the template's own connections (its .qzc file) and register each command's records");
    cmd->add_option("--param", o.parameters,
                    "A value for a \"?\" parameter of the commands' SQL, in the order asked (repeatable)");
    cmd->add_option("-t,--timeout", o.timeOut, "Script time-out in milliseconds (0: none)")
        ->check(CLI::NonNegativeNumber);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    return produce(o);
}
