// Set-up of the data-source window tests: a private home with a headless host
// that records what the author was shown, a designer state over a template
// folder with its QZC file, and the user's ODBC configuration in a folder of
// the test's own.
#pragma once

#include "core/CoreFixture.h"
#include "core/DesignerState.h"
#include "core/ModGlobal.h"

#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace qz::test {

struct FakeDesigner : DesignerState {
    bool readOnly = false;
    std::string folder, qzc;
    HelpCenter help;
    bool TemplateReadOnly() const override { return readOnly; }
    void SetTemplateReadOnly(bool v) override { readOnly = v; }
    std::string TemplatePath() const override { return folder; }
    void SetTemplatePath(const std::string& v) override { folder = v; }
    std::string QzcFileName() const override { return qzc; }
    void SetQzcFileName(const std::string& v) override { qzc = v; }
    std::string TemplateFileName() const override { return "t.rtf"; }
    void SetTemplateFileName(const std::string&) override {}
    std::string PreviewOutputFile() const override { return {}; }
    void SetPreviewOutputFile(const std::string&) override {}
    HelpCenter& GetHelpCenter() override { return help; }
    ado::BoundSql ResolveSqlParameters(const std::string& sql) override { return {sql, {}}; }
};

struct OdbcFolder {
    std::string dir;
    OdbcFolder() {
        // Not below the temporary folder of a test's private home, which goes with the test.
        std::string tmpl = "/tmp/qz-odbc-XXXXXX";
        dir = ::mkdtemp(tmpl.data()) ? tmpl : std::string("/tmp");
        TestHome::write(dir + "/odbcinst.ini", "[SQLite3]\nDriver=libsqlite3odbc.so\n");
        ::setenv("ODBCSYSINI", dir.c_str(), 1);
        ::setenv("ODBCINI", (dir + "/odbc.ini").c_str(), 1);
    }
    ~OdbcFolder() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

struct DataSourceWindows : CoreFixture {
    FakeDesigner designer;
    std::string dir, qzcPath, odbcIni;
    // False in a run whose ODBC configuration belongs to a test server.
    static inline bool useOwnOdbcConfig = true;

    void SetUp() override {
        CoreFixture::SetUp();
        dir = home.root() + "/tpl";
        std::filesystem::create_directories(dir);
        designer.folder = dir;
        designer.qzc = "t.qzc";
        qzcPath = dir + "/t.qzc";
        goDesigner = &designer;
        // The user's ODBC configuration: a SQLite driver and no data sources.
        // The driver manager reads the variables once, so one folder serves
        // the whole run.
        if (useOwnOdbcConfig) {
            static const OdbcFolder odbc;
            odbcIni = odbc.dir + "/odbc.ini";
            std::filesystem::remove(odbcIni);
        }
    }
    void TearDown() override {
        goDesigner = nullptr;
        ::chmod(qzcPath.c_str(), 0644);
        ::chmod(dir.c_str(), 0755);
        CoreFixture::TearDown();
    }

    static std::string Xml(const std::string& s) {
        std::string out;
        for (char c : s) out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : std::string(1, c);
        return out;
    }
    static std::string Connection(const std::string& id, const std::string& name, const std::string& type,
                                  const std::string& ds, const std::string& commands = {}) {
        return "<Connection ID=\"" + id + "\"><Name>" + name + "</Name><DataSource>" + Xml(ds) +
               "</DataSource><ConnectionType>" + type + "</ConnectionType><CommandList>" + commands +
               "</CommandList></Connection>";
    }
    static std::string Command(const std::string& id, const std::string& name, const std::string& text = {}) {
        return "<Command ID=\"" + id + "\"><Name>" + name + "</Name><Text>" + Xml(text) + "</Text></Command>";
    }
    void WriteQzc(const std::string& connections) {
        TestHome::write(qzcPath, "<QZC><TemplateProperties><Locale>-1</Locale></TemplateProperties><ConnectionList>" +
                                     connections + "</ConnectionList></QZC>");
    }
    std::string Qzc() const { return TestHome::read(qzcPath); }
    void MakeReadOnly() { ::chmod(qzcPath.c_str(), 0444); }

    // A SQLite database with one table.
    void MakeDatabase(const std::string& path) {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, "CREATE TABLE T (A INTEGER); INSERT INTO T VALUES (1);", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    // The user drives the form while it is shown modally.
    void Drive(ui::Form& form, std::function<void()> act) {
        host.queueFormAction([act](ui::Form&) { act(); });
        form.ShowModal();
    }
    std::vector<std::string> Boxes() {
        std::vector<std::string> p;
        for (const auto& r : host.requests(ui::UiRequest::MsgBox)) p.push_back(r.prompt);
        return p;
    }
};

} // namespace qz::test
