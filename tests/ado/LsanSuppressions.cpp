// The ODBC driver manager's installer library, the drivers and the Kerberos
// error tables they load keep allocations for the life of the process; they
// are not the layer's and are not reported as leaks.
#include <dlfcn.h>

#include <string>

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libodbcinst.so\n"
           "leak:psqlodbcw.so\n"
           "leak:libsqlite3odbc\n"
           "leak:libtdsodbc.so\n"
           "leak:libcom_err.so\n"
           "leak:libkrb5\n"
           "leak:libgssapi\n";
}

namespace {

// The driver manager unloads a driver when its last connection closes; the
// libraries are kept loaded here so that a leak report can still name them.
struct KeepLoaded {
    KeepLoaded() {
        for (const char* lib : {"libodbcinst.so.2", "libsqlite3odbc.so", "psqlodbcw.so", "libtdsodbc.so"}) {
            if (dlopen(lib, RTLD_LAZY | RTLD_NODELETE)) continue;
            for (const char* dir : {"/usr/lib/x86_64-linux-gnu/odbc/", "/usr/lib/aarch64-linux-gnu/odbc/"}) {
                const std::string path = std::string(dir) + lib;
                if (dlopen(path.c_str(), RTLD_LAZY | RTLD_NODELETE)) break;
            }
        }
    }
} keepLoaded;

} // namespace
