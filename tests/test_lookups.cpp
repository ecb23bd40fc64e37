// The service tables and the lookups over them: every row of the SMB and
// Kerberos tables, the defaults and their messages, and the searches by
// domain, server, share and realm.
#include <climits>

#include "tavrel_test.h"

namespace {

using host::Level;
using tavrel_test::Lines;

using Lookups = tavrel_test::TavrelTest;

const std::vector<int> kDomainAttrs = {78, 82, 85, 88, 91, 94, 97, 100, 103};

// Each lookup gives the attribute ids of services 1, 2, ... Any other service
// gets service 1's, and the lookups with a default message log it ('#': the
// service asked for); known services say nothing.
TEST_F(Lookups, EveryServiceGetsItsAttributeAnyOtherServiceOnes) {
    const struct { int (*lookup)(int); std::vector<int> by_service; std::string default_message; } columns[] = {
        {sm_get_smb_auth_domain_from_service, kDomainAttrs, ""},
        {sm_get_smb_auth_IP_from_service, {79, 83, 86, 89, 92, 95, 98, 101, 104}, "FORCEINFO Unable to find IP address for service [#], using default"},
        {sm_get_smb_auth_hostname_from_service, {80, 84, 87, 90, 93, 96, 99, 102, 105}, "FORCEINFO Unable to find hostname for service [#], using default"},
        {sm_get_smb_filing_servername_from_service, {258, 259, 260, 261, 262, 351}, "FORCEINFO Unable to find server name for service [#], using default"},
        {sm_get_smb_protocol_from_service, {288, 289, 290, 291, 292, 357}, "FORCEINFO Unable to find protocol type for service [#], using default"},
        {sm_get_smb_sharename_from_service, {278, 279, 280, 281, 282, 355}, "FORCEINFO Unable to find sharename for service [#], using default"},
        {sm_get_krb_auth_ip_address_from_service, {32, 37, 42, 47, 52, 57, 62, 67, 72}, ""},
        {sm_get_krb_auth_backup_ip_address_from_service, {33, 38, 43, 48, 53, 58, 63, 68, 73}, ""},
        {sm_get_krb_auth_hostname_from_service, {34, 39, 44, 49, 54, 59, 64, 69, 74}, "WARN RETURNING DEFAULT HOSTNAME, since one was NOT FOUND!"},
        {sm_get_krb_auth_backup_hostname_from_service, {35, 40, 45, 50, 55, 60, 65, 70, 75}, "WARN RETURNING DEFAULT BACKUP HOSTNAME, since one was NOT FOUND!"},
        {sm_get_krb_auth_realm_from_service, {36, 41, 46, 51, 56, 61, 66, 71, 76}, ""},
    };
    for (const auto &c : columns) {
        SCOPED_TRACE(c.by_service[0]);
        host::log_clear();
        for (std::size_t i = 0; i < c.by_service.size(); ++i)
            EXPECT_EQ(c.lookup(static_cast<int>(i) + 1), c.by_service[i]) << "service " << i + 1;
        Lines expected;
        for (const int service : {0, -1, static_cast<int>(c.by_service.size()) + 1, INT_MIN, INT_MAX}) {
            EXPECT_EQ(c.lookup(service), c.by_service[0]) << "service " << service;
            std::string message = c.default_message;
            if (auto at = message.find('#'); at != message.npos) message.replace(at, 1, std::to_string(service));
            if (!message.empty()) expected.push_back(message);
        }
        EXPECT_EQ(log_lines(), expected);
    }
}

TEST_F(Lookups, FilingPortOfEveryServiceAndSmbProtocol) {
    const int port_attrs[] = {263, 264, 265, 266, 267, 352};
    int port = 0;
    for (int service = 1; service <= 6; ++service) {
        host::svcmon_set_address(port_attrs[service - 1], "", 440 + service);
        EXPECT_EQ(get_port_number_for_filing_service(service, &port), 1);
        EXPECT_EQ(port, 440 + service);
    }
    EXPECT_EQ(get_port_number_for_filing_service(2, nullptr), 0);  // nowhere to put it
    host::svcmon_unset(263);
    host::log_clear();
    EXPECT_EQ(get_port_number_for_filing_service(7, &port), 0);  // no such service: nothing said
    EXPECT_EQ(get_port_number_for_filing_service(1, &port), 0);
    EXPECT_EQ(port, 446);  // as it was
    EXPECT_EQ(messages(Level::Warn),
              Lines{"get_port_number_for_filing_service(): Unable to access Data Store to obtain port number"});
    host::svcmon_set_integer(288, 4);
    host::svcmon_set_integer(289, 3);
    EXPECT_EQ(is_this_service_for_SMB(1), 1);
    EXPECT_EQ(is_this_service_for_SMB(2), 0);
    EXPECT_EQ(is_this_service_for_SMB(3), 0);  // unreadable
}

TEST_F(Lookups, SearchesAreCaseBlindAndNameUnreadableRowsByIndex) {
    // Bad names find nothing, without reading; a realm is refused with a blank
    // or a character krb5.conf gives a meaning.
    for (const char *bad : {static_cast<const char *>(nullptr), "", "\n"}) {
        EXPECT_EQ(sm_get_smb_auth_service_from_domain_name(bad), 0);
        EXPECT_EQ(get_filing_service_index_from_server_name(bad), 0);
        EXPECT_EQ(get_filing_service_index_from_servername_and_sharename(bad, "s"), 0);
        EXPECT_EQ(sm_get_krb_auth_service_from_realm_name(bad), 0);
    }
    for (const char *bad : {"bad realm", "CORP}.EXAMPLE"}) EXPECT_EQ(sm_get_krb_auth_service_from_realm_name(bad), 0);
    EXPECT_TRUE(host::svcmon_requests().empty());
    EXPECT_TRUE(logged(Level::ForceInfo, "A bad Domain [(null)] was used to determine which SMB service to use"));
    EXPECT_TRUE(logged(Level::ForceInfo, "A bad server name [\n] was used to determine which SMB service to use"));
    EXPECT_TRUE(logged(Level::ForceInfo, "A bad realm [] was used to determine which Kerberos service to use"));
    EXPECT_EQ(messages(Level::ForceInfo).size(), 14u);
    // Every service by its domain; unreadable service 2 is named by its row.
    for (int service = 1; service <= 9; ++service) {
        host::svcmon_set_text(kDomainAttrs[service - 1], "Dom" + std::to_string(service));
        EXPECT_EQ(sm_get_smb_auth_service_from_domain_name(("DOM" + std::to_string(service)).c_str()), service);
    }
    host::svcmon_unset(82);
    host::log_clear();
    EXPECT_EQ(sm_get_smb_auth_service_from_domain_name("dom3"), 3);
    EXPECT_EQ(messages(Level::Warn), Lines{"Could not retrieve domain number 1 from datastore for SMB"});
    // Filing service 1 unreadable, 2 a NetBIOS name, 5 a scoped address; 3, 4
    // and 6 the same server, 4 without a share: the first match, or without a
    // share the last.
    for (const auto &[attr, text] : {std::pair{259, "SCAN$"}, {260, "nas"}, {261, "Nas"}, {262, "fe80::5%eth0"},
                                     {351, "NAS"}, {280, "Faxes"}, {355, "faxes"}})
        host::svcmon_set_text(attr, text);
    host::log_clear();
    EXPECT_EQ(get_filing_service_index_from_server_name("NAS"), 3);
    EXPECT_EQ(messages(Level::Warn), Lines{"Could not retrieve servername (0) from datastore for SMB"});
    EXPECT_EQ(get_filing_service_index_from_server_name("scan$"), 2);
    EXPECT_EQ(get_filing_service_index_from_server_name("fe80::5%eth0"), 5);
    EXPECT_EQ(get_filing_service_index_from_servername_and_sharename("nas", "FAXES"), 3);
    EXPECT_EQ(get_filing_service_index_from_servername_and_sharename("nas", "none"), 0);
    EXPECT_TRUE(logged(Level::Warn, "Couldn't get sharename (3), from datastore for SMB"));
    host::log_clear();
    EXPECT_EQ(get_filing_service_index_from_servername_and_sharename("nas", nullptr), 6);
    EXPECT_EQ(messages(Level::ForceInfo), (Lines{"No volume used to compare with server name for index 2",
                                                 "No volume used to compare with server name for index 3",
                                                 "No volume used to compare with server name for index 5"}));
    // Kerberos: service 1 unreadable, 3 empty, 4 and 6 hold the same realm.
    load("[attributes]\n36 = { error = 5 }\n41 = \"TWO.EXAMPLE\"\n46 = \"\"\n51 = \"CORP.EXAMPLE\"\n61 = \"CORP.EXAMPLE\"\n");
    EXPECT_EQ(sm_get_krb_auth_service_from_realm_name("corp.example"), 4);
    EXPECT_TRUE(logged(Level::Warn, "Could not retrieve realm [0] from datastore for KRB"));
    EXPECT_EQ(sm_get_krb_auth_service_from_realm_name("TWO.example"), 2);
    EXPECT_EQ(sm_get_krb_auth_service_from_realm_name("corp.example.org"), 0);
}

}  // namespace
