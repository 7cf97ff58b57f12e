// SQL Server through the FreeTDS driver: the ODBC string the driver gets,
// and Windows integrated security as a Kerberos log-on, refused plainly when
// the user has no ticket (no server is needed to see either).
#include "AdoTestSupport.h"

#include "platform/ado/Connection.h"

#include <gtest/gtest.h>
#include <krb5.h>

#include <cstdlib>
#include <ctime>

namespace qz::ado::test {
namespace {

// Points the Kerberos library at a credential cache of the test's own, and
// back at the process's when done.
struct OwnCache {
    explicit OwnCache(const std::string& name) {
        if (const char* old = std::getenv("KRB5CCNAME")) before = old;
        ::setenv("KRB5CCNAME", name.c_str(), 1);
    }
    ~OwnCache() {
        if (before.empty()) ::unsetenv("KRB5CCNAME");
        else ::setenv("KRB5CCNAME", before.c_str(), 1);
    }
    std::string before;
};

// Stores a ticket for user@EXAMPLE.TEST valid for an hour, as kinit would.
void storeTicket() {
    krb5_context ctx = nullptr;
    ASSERT_EQ(krb5_init_context(&ctx), 0);
    krb5_ccache cache = nullptr;
    krb5_creds creds{};
    ASSERT_EQ(krb5_cc_default(ctx, &cache), 0);
    ASSERT_EQ(krb5_parse_name(ctx, "user@EXAMPLE.TEST", &creds.client), 0);
    ASSERT_EQ(krb5_parse_name(ctx, "krbtgt/EXAMPLE.TEST@EXAMPLE.TEST", &creds.server), 0);
    ASSERT_EQ(krb5_cc_initialize(ctx, cache, creds.client), 0);
    creds.times.authtime = creds.times.starttime = static_cast<krb5_timestamp>(std::time(nullptr));
    creds.times.endtime = creds.times.starttime + 3600;
    EXPECT_EQ(krb5_cc_store_cred(ctx, cache, &creds), 0);
    krb5_free_cred_contents(ctx, &creds);
    krb5_cc_close(ctx, cache);
    krb5_free_context(ctx);
}

std::string openError(const std::string& cs) {
    Ref<Connection> c = makeRef<Connection>();
    try {
        c->open(cs);
    } catch (const AutomationError& e) {
        return e.Description;
    }
    return "";
}

TEST(SqlServer, IntegratedSecurityIsAKerberosLogOn) {
    EXPECT_EQ(sqlServerOdbcString("Provider=SQLOLEDB;Data Source=db.example.test,1433;database=Sales;"
                                  "Trusted_Connection=Yes;"),
              "Driver={FreeTDS};Server=db.example.test;Port=1433;Database=Sales;Trusted_Connection=Yes;"
              "ClientCharset=UTF-8;");
    // A user name stored beside integrated security is not sent.
    EXPECT_EQ(sqlServerOdbcString("Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=Sales;"
                                  "User ID=sa;Data Source=db"),
              "Driver={FreeTDS};Server=db;Database=Sales;Trusted_Connection=Yes;ClientCharset=UTF-8;");
    EXPECT_EQ(sqlServerOdbcString("Provider=SQLOLEDB;Data Source=db;Trusted_Connection=No;uid=sa;pwd=p;w"),
              "Driver={FreeTDS};Server=db;UID=sa;PWD=p;ClientCharset=UTF-8;");

    TempDir dir;
    OwnCache cache("FILE:" + dir.file("krb5cc"));
    const std::string trusted = "Provider=SQLOLEDB;Data Source=127.0.0.1,1;database=Sales;Trusted_Connection=Yes;";
    EXPECT_FALSE(hasKerberosTicket());
    EXPECT_NE(openError(trusted).find("no Kerberos ticket: run kinit"), std::string::npos) << openError(trusted);

    // With a ticket the log-on goes to the driver, which finds no server here.
    storeTicket();
    EXPECT_TRUE(hasKerberosTicket());
    const std::string error = openError(trusted);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find("kinit"), std::string::npos) << error;
}

} // namespace
} // namespace qz::ado::test
