// Peak memory of loading a saved recordset (XML persistence format): writes a
// file of N rows shaped like an invoice's lines (an integer, a text, an
// integer, two currencies), then loads it in a fresh child process and prints
// the child's peak resident memory and time, the heap the loaded recordset holds, and
// the same for an empty file of that shape (the process's own floor).
//   qz_ado_load_memory [ROWS]        (default 100000)
#include "platform/ado/Recordset.h"

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

const char* kWords[] = {"Espresso machine", "Burr grinder", "Porcelain cups", "Descaling tablets",
                        "Service contract", "Milk jug", "Tamper {steel}", "Caf\xC3\xA9 cr\xC3\xA8me blend",
                        "Knock box", "Water filter"};

void writeFile(const std::string& path, long rows) {
    std::ofstream out(path, std::ios::binary);
    out << "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n"
           "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
           "\txmlns:rs='urn:schemas-microsoft-com:rowset'\n"
           "\txmlns:z='#RowsetSchema'>\n"
           "<s:Schema id='RowsetSchema'>\n"
           "\t<s:ElementType name='row' content='eltOnly'>\n";
    const char* types[][2] = {{"LineNo", "dt:type='int' dt:maxLength='4'"},
                              {"Description", "dt:type='string' dt:maxLength='255'"},
                              {"Quantity", "dt:type='int' dt:maxLength='4'"},
                              {"UnitPrice", "dt:type='number' rs:dbtype='currency' dt:maxLength='8'"},
                              {"Amount", "dt:type='number' rs:dbtype='currency' dt:maxLength='8'"}};
    int number = 1;
    for (const auto& t : types)
        out << "\t\t<s:AttributeType name='" << t[0] << "' rs:number='" << number++
            << "' rs:nullable='true'>\n\t\t\t<s:datatype " << t[1] << "/>\n\t\t</s:AttributeType>\n";
    out << "\t\t<s:extends type='rs:rowbase'/>\n\t</s:ElementType>\n</s:Schema>\n<rs:data>\n";
    char line[256];
    for (long i = 0; i < rows; ++i) {
        const long q = 1 + i % 17;
        const long cents = 350 + (i * 7919 % 100000);
        std::snprintf(line, sizeof line,
                      "\t<z:row LineNo='%ld' Description='%s no. %ld' Quantity='%ld' UnitPrice='%ld.%02ld'"
                      " Amount='%ld.%02ld'/>\n",
                      i + 1, kWords[i % 10], i, q, cents / 100, cents % 100, q * cents / 100, q * cents % 100);
        out << line;
    }
    out << "</rs:data>\n</xml>\n";
}

// In the child: loads the file and prints the heap in use after the load.
int load(const char* path) {
    qz::Ref<qz::ado::Recordset> rs = qz::ado::loadSavedRecordset(path);
    const struct mallinfo2 mi = mallinfo2();
    std::printf("%lld %.1f\n", static_cast<long long>(rs->recordCount()),
                static_cast<double>(mi.uordblks + mi.hblkhd) / (1024.0 * 1024.0));
    return 0;
}

// Runs this program on a file in a child; returns its peak RSS in MB and the
// line the child printed.
double measure(const char* self, const std::string& path, std::string& report, double& seconds) {
    const auto start = std::chrono::steady_clock::now();
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        execl(self, self, "--load", path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char buf[256];
    const ssize_t n = read(fds[0], buf, sizeof buf - 1);
    close(fds[0]);
    report.assign(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
    while (!report.empty() && report.back() == '\n') report.pop_back();
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--load") return load(argv[2]);
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const auto dir = std::filesystem::temp_directory_path();
    const std::string full = (dir / ("qz-load-memory-" + std::to_string(getpid()) + ".xml")).string();
    const std::string empty = (dir / ("qz-load-memory-" + std::to_string(getpid()) + "-0.xml")).string();
    writeFile(full, rows);
    writeFile(empty, 0);
    std::string fullReport, emptyReport;
    double emptySeconds = 0, fullSeconds = 0;
    const double floor = measure(argv[0], empty, emptyReport, emptySeconds);
    const double peak = measure(argv[0], full, fullReport, fullSeconds);
    const double fileMb = static_cast<double>(std::filesystem::file_size(full)) / (1024.0 * 1024.0);
    std::filesystem::remove(full);
    std::filesystem::remove(empty);
    if (floor < 0 || peak < 0) {
        std::fprintf(stderr, "loading failed\n");
        return 1;
    }
    std::printf("rows %ld, file %.1f MB\n", rows, fileMb);
    std::printf("empty file:  peak RSS %.1f MB (rows, heap MB: %s)\n", floor, emptyReport.c_str());
    std::printf("full file:   peak RSS %.1f MB (rows, heap MB: %s)\n", peak, fullReport.c_str());
    std::printf("loading added %.1f MB at its peak, in %.3f s\n", peak - floor, fullSeconds - emptySeconds);
    return 0;
}
