// The data-sources window on a QZC file of many connections (each with one
// command): the time to read the file, to fill the form's tree and to show
// the window, and the process's peak resident memory. Run offscreen:
//   QT_QPA_PLATFORM=offscreen build/bench/views/qz_datasources_bench [connections]
#include "core/DesignerState.h"
#include "core/ModGlobal.h"
#include "datasources/forms/frmDataLink.h"
#include "views/FormViews.h"
#include "views/host/ViewRegistry.h"

#include <QApplication>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

using namespace qz;

namespace {

struct Template : DesignerState {
    std::string dir;
    HelpCenter help;
    bool TemplateReadOnly() const override { return false; }
    void SetTemplateReadOnly(bool) override {}
    std::string TemplatePath() const override { return dir; }
    void SetTemplatePath(const std::string&) override {}
    std::string QzcFileName() const override { return "t.qzc"; }
    void SetQzcFileName(const std::string&) override {}
    std::string TemplateFileName() const override { return "t.rtf"; }
    void SetTemplateFileName(const std::string&) override {}
    std::string PreviewOutputFile() const override { return {}; }
    void SetPreviewOutputFile(const std::string&) override {}
    HelpCenter& GetHelpCenter() override { return help; }
    ado::BoundSql ResolveSqlParameters(const std::string& s) override { return {s, {}}; }
};

double peakMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    const int connections = argc > 1 ? std::atoi(argv[1]) : 100000;
    QApplication app(argc, argv);
    views::registerFormViews();
    char folder[] = "/tmp/qz-dsbench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    Template t;
    t.dir = folder;
    {
        std::ofstream out(t.dir + "/t.qzc");
        out << "<QZC><ConnectionList>";
        for (int i = 0; i < connections; ++i)
            out << "<Connection ID=\"ID" << i << "\"><Name>Connection" << i
                << "</Name><DataSource>shop.db</DataSource><ConnectionType>6</ConnectionType>"
                   "<CommandList><Command ID=\"ID1\"><Name>Items</Name><Text>SELECT * FROM items</Text>"
                   "</Command></CommandList></Connection>";
        out << "</ConnectionList></QZC>";
    }
    goDesigner = &t;
    const double before = peakMb();
    using clock = std::chrono::steady_clock;
    const auto t0 = clock::now();
    {
        datasources::frmDataLink form;
        form.Initialize();
        const auto t1 = clock::now();
        const double filled = peakMb();
        form.Form_Activate();
        form.ShowModeless();
        std::unique_ptr<views::FormView> view(views::createView(form, nullptr));
        view->show();
        QApplication::processEvents();
        const auto t2 = clock::now();
        auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
        std::printf("connections %d: form filled %.0f ms, window shown %.0f ms, total %.0f ms; "
                    "peak RSS %.0f MB (%.0f MB before, %.0f MB once the form was filled)\n",
                    connections, ms(t1 - t0), ms(t2 - t1), ms(t2 - t0), peakMb(), before, filled);
    }
    goDesigner = nullptr;
    std::filesystem::remove_all(folder);
    return 0;
}
