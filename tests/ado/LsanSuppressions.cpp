// The ODBC driver manager's installer library, the drivers and the Kerberos
// error tables they load keep allocations for the life of the process; they
// are not the layer's and are not reported as leaks.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libodbcinst.so\n"
           "leak:psqlodbcw.so\n"
           "leak:libsqlite3odbc\n"
           "leak:libtdsodbc.so\n"
           "leak:libcom_err.so\n"
           "leak:libkrb5\n"
           "leak:libgssapi\n";
}
