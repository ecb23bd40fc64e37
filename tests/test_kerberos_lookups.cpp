// The Kerberos service table and the lookups over it.
#include <climits>
#include <string>
#include <vector>

#include "tavrel/tavrel.h"
#include "tavrel_test.h"

namespace {

using host::Level;
using Lines = std::vector<std::string>;

class KrbServiceColumns : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<int> {};

// Service n owns the ids from 32 + 5 (n - 1): address, backup address,
// hostname, backup hostname, realm. Any other id gets service 1's, and only
// the two hostname lookups say so.
TEST_P(KrbServiceColumns, EachColumnHoldsItsAttribute) {
    const int service = GetParam();
    const bool known = service >= 1 && service <= 9;
    const int base = known ? 32 + 5 * (service - 1) : 32;
    EXPECT_EQ(sm_get_krb_auth_ip_address_from_service(service), base);
    EXPECT_EQ(sm_get_krb_auth_backup_ip_address_from_service(service), base + 1);
    EXPECT_EQ(sm_get_krb_auth_hostname_from_service(service), base + 2);
    EXPECT_EQ(sm_get_krb_auth_backup_hostname_from_service(service), base + 3);
    EXPECT_EQ(sm_get_krb_auth_realm_from_service(service), base + 4);
    const Lines defaults = {"WARN RETURNING DEFAULT HOSTNAME, since one was NOT FOUND!",
                            "WARN RETURNING DEFAULT BACKUP HOSTNAME, since one was NOT FOUND!"};
    EXPECT_EQ(log_lines(), known ? Lines() : defaults);
}

INSTANTIATE_TEST_SUITE_P(Services, KrbServiceColumns,
                         ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 9, 0, -3, 10, INT_MIN, INT_MAX));

using KrbRealmSearch = tavrel_test::TavrelTest;

// A rejected realm reads nothing. Then: service 1 unreadable, 3 empty, 4 and
// 6 hold the same realm.
TEST_F(KrbRealmSearch, FindsTheFirstServiceHoldingTheRealmIgnoringCase) {
    for (const char *bad : {static_cast<const char *>(nullptr), "", "\n", "bad realm", "CORP}.EXAMPLE"})
        EXPECT_EQ(sm_get_krb_auth_service_from_realm_name(bad), 0) << bad;
    EXPECT_TRUE(host::svcmon_requests().empty());
    EXPECT_EQ(messages(Level::ForceInfo).size(), 5u);
    EXPECT_TRUE(logged(Level::ForceInfo, "A bad realm [] was used to determine which Kerberos service to use"));
    load("[attributes]\n36 = { error = 5 }\n41 = \"TWO.EXAMPLE\"\n46 = \"\"\n51 = \"CORP.EXAMPLE\"\n61 = \"CORP.EXAMPLE\"\n");
    EXPECT_EQ(sm_get_krb_auth_service_from_realm_name("corp.example"), 4);
    EXPECT_TRUE(logged(Level::Warn, "Could not retrieve realm [0] from datastore for KRB"));
    EXPECT_EQ(sm_get_krb_auth_service_from_realm_name("TWO.example"), 2);
    EXPECT_EQ(sm_get_krb_auth_service_from_realm_name("corp.example.org"), 0);
}

}  // namespace
