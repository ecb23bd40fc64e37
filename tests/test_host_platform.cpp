// The host platform's observable behaviour that the library's tests rely on.
#include <gtest/gtest.h>

#include <cstring>

#include "host_control.h"
#include "platform.h"
#include "tavrel_test.h"

namespace {

class HostPlatform : public ::testing::Test {
protected:
    void SetUp() override {
        host::reset();
        host::log_set_echo(host::Echo::Quiet);
    }
    void TearDown() override { host::reset(); }
};

// ---- Service monitor -----------------------------------------------------------

TEST_F(HostPlatform, EachRecordIsAFreshCopyFreedOnceAndBadFreesAreCounted) {
    host::svcmon_set_text(36, "CORP");
    SvcMonAttr *first = SvcMon_GetAttr(36);
    SvcMonAttr *second = SvcMon_GetAttr(36);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->value.text, second->value.text);
    EXPECT_STREQ(first->value.text, "CORP");
    EXPECT_EQ(host::svcmon_counts().outstanding(), 2u);
    EXPECT_EQ(SvcMon_Free(first), 0);
    EXPECT_EQ(SvcMon_Free(second), 0);
    SvcMon_Free(first);
    SvcMon_Free(nullptr);
    SvcMonAttr foreign{};
    SvcMon_Free(&foreign);
    const host::RecordCounts counts = host::svcmon_counts();
    EXPECT_EQ(counts.handed_out, 2u);
    EXPECT_EQ(counts.freed, 2u);
    EXPECT_EQ(counts.bad_frees, 3u);
}

TEST_F(HostPlatform, RecordsCarryTypeValuePortAndChosenEchoId) {
    host::svcmon_set_address(79, "192.0.2.10", 445);
    host::svcmon_set_error(80, -5);
    host::RawAttr odd;
    odd.type = 9;
    odd.integer = 12;
    odd.echo_id = 99;
    host::svcmon_set(81, odd);
    host::svcmon_set_text(82, "gone");
    host::svcmon_unset(82);

    SvcMonAttr *address = SvcMon_GetAttr(79);
    SvcMonAttr *error = SvcMon_GetAttr(80);
    SvcMonAttr *other = SvcMon_GetAttr(81);
    EXPECT_EQ(SvcMon_GetAttr(82), nullptr);
    ASSERT_TRUE(address && error && other);
    EXPECT_EQ(address->type, SVCMON_TYPE_ADDRESS);
    EXPECT_STREQ(address->value.text, "192.0.2.10");
    EXPECT_EQ(address->port, 445u);
    EXPECT_EQ(error->type, SVCMON_TYPE_ERROR);
    EXPECT_EQ(error->value.integer, -5);
    EXPECT_EQ(other->attr_id, 99);
    EXPECT_EQ(other->type, 9);
    EXPECT_EQ(other->value.integer, 12);
    for (SvcMonAttr *r : {address, error, other}) SvcMon_Free(r);
    EXPECT_EQ(host::svcmon_requests(), (std::vector<int32_t>{79, 80, 81, 82}));
}

std::vector<uint32_t> g_changes;
void record_change(uint32_t id) { g_changes.push_back(id); }

TEST_F(HostPlatform, InitAnswersTheChosenResultAndOnlySuccessfulClassesHearChanges) {
    g_changes.clear();
    host::svcmon_set_init_result(3, 7);
    EXPECT_EQ(SvcMon_Init(6, record_change, 11), 0);
    EXPECT_EQ(SvcMon_Init(3, record_change, 11), 7);
    const auto &registrations = host::svcmon_registrations();
    ASSERT_EQ(registrations.size(), 2u);
    EXPECT_EQ(registrations[1].svc_class, 3);
    EXPECT_EQ(registrations[1].result, 7);
    EXPECT_EQ(registrations[0].handle, 11u);
    host::svcmon_notify_change(42);
    EXPECT_EQ(g_changes, std::vector<uint32_t>{42});
}

// ---- Logger ---------------------------------------------------------------

struct EchoCase {
    host::Echo echo;
    int level;
    std::string shown;
};

void PrintTo(const EchoCase &c, std::ostream *os) { *os << host::level_name(static_cast<host::Level>(c.level - 1)); }

class LoggerEcho : public HostPlatform, public ::testing::WithParamInterface<EchoCase> {};

TEST_P(LoggerEcho, WritesLevelSourceLineMessageWhenTheEchoShowsIt) {
    host::log_set_echo(GetParam().echo);
    const int level = GetParam().level;
    const std::string err =
        tavrel_test::capture_stderr([&] { Log_SpecEntry(level, "samba_data", 12, "%s - value %d", "f", 5); });
    EXPECT_EQ(err, GetParam().shown);
    ASSERT_EQ(host::log_records().size(), 1u);
    EXPECT_EQ(host::log_records()[0].message, "f - value 5");
    EXPECT_EQ(host::log_records()[0].line, 12);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, LoggerEcho,
    ::testing::Values(EchoCase{host::Echo::Normal, logSpecWarn, "WARN samba_data:12 f - value 5\n"},
                      EchoCase{host::Echo::Normal, logSpecForceInfo, "FORCEINFO samba_data:12 f - value 5\n"},
                      EchoCase{host::Echo::Normal, logSpecLibInfo, ""},
                      EchoCase{host::Echo::Verbose, logSpecLibEnter, "LIBENTER samba_data:12 f - value 5\n"},
                      EchoCase{host::Echo::Quiet, logSpecError, ""}));

// ---- Data store and notification --------------------------------------------------

TEST_F(HostPlatform, DataStoreAndNotificationRecordCallsAndFailOnRequest) {
    const uint32_t ds = ds_attach("512000", 0);
    EXPECT_NE(ds, 0u);
    EXPECT_NE(sc_notify_init(ds), 0u);
    host::ds_set_fail(true);
    host::notify_set_fail(true);
    EXPECT_EQ(ds_attach(nullptr, 1), 0u);
    EXPECT_EQ(sc_notify_init(ds), 0u);
    EXPECT_FALSE(host::ds_calls().at(1).dstore.has_value());
    EXPECT_EQ(host::notify_calls(), (std::vector<uint32_t>{ds, ds}));
}

// ---- Config server ---------------------------------------------------------------

TEST_F(HostPlatform, ConfigReadsBooleansAndIntegersAsBooleansAndTextsThatFit) {
    host::config_set_int("seven", 7);
    host::config_set_text("url", "http://x");  // 8 characters
    host::config_set_bool("flag", false);
    int value = -1;
    EXPECT_EQ(Cfg_GetBoolAttrValue("seven", &value), 0);
    EXPECT_EQ(value, 7);
    value = -1;
    EXPECT_NE(Cfg_GetBoolAttrValue("url", &value), 0);
    EXPECT_NE(Cfg_GetBoolAttrValue("absent", &value), 0);
    EXPECT_EQ(value, -1);
    char buffer[9] = "#";
    EXPECT_NE(Cfg_GetAttrValue("url", buffer, 8), 0);
    EXPECT_STREQ(buffer, "#");
    EXPECT_EQ(Cfg_GetAttrValue("url", buffer, 9), 0);
    EXPECT_STREQ(buffer, "http://x");
    EXPECT_EQ(Cfg_GetAttrValue("flag", buffer, 9), 0);
    EXPECT_STREQ(buffer, "false");
}

// ---- Network configuration and FIPS ------------------------------------------------

TEST_F(HostPlatform, NetworkValuesAreTextAtByteFourAndMissingOnesCannotBeHad) {
    host::network_set("192.0.2.20", "");
    CnPmCfg record{};
    EXPECT_EQ(cn_get_pm_cfg_by_index(CN_PM_GROUP_INTERFACE, CN_PM_INDEX_ADDRESS, &record), 1);
    EXPECT_STREQ(reinterpret_cast<const char *>(&record) + 4, "192.0.2.20");
    EXPECT_EQ(cn_get_pm_cfg_by_index(CN_PM_GROUP_INTERFACE, CN_PM_INDEX_NETMASK, &record), 0);
    EXPECT_EQ(cn_get_pm_cfg_by_index(CN_PM_GROUP_INTERFACE, 3, &record), 0);
    EXPECT_EQ(cn_get_pm_cfg_by_index(0x10000, CN_PM_INDEX_ADDRESS, &record), 0);
    EXPECT_EQ(cn_get_pm_cfg_by_index(CN_PM_GROUP_INTERFACE, CN_PM_INDEX_ADDRESS, nullptr), 0);
    host::network_set(std::nullopt, "255.255.255.0");
    EXPECT_EQ(cn_get_pm_cfg_by_index(CN_PM_GROUP_INTERFACE, CN_PM_INDEX_ADDRESS, &record), 0);
}

// ---- IP utilities ------------------------------------------------------------------

const std::string kLongestAddress = "0000:0000:0000:0000:0000:ffff:255.255.255.255";  // 45

struct TextCase {
    const char *text;
    int expected;
};

void PrintTo(const TextCase &c, std::ostream *os) { *os << '"' << (c.text ? c.text : "(null)") << '"'; }

class AddressCheck : public HostPlatform, public ::testing::WithParamInterface<TextCase> {};
TEST_P(AddressCheck, AcceptsIpv4AndIpv6TextsOnly) {
    EXPECT_EQ(is_it_an_IP_address(GetParam().text), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Texts, AddressCheck,
                         ::testing::Values(TextCase{"192.0.2.1", 1}, TextCase{"2001:db8::1", 1},
                                           TextCase{kLongestAddress.c_str(), 1}, TextCase{"256.0.0.1", 0},
                                           TextCase{"fe80::1%eth0", 0}, TextCase{" 192.0.2.1", 0},
                                           TextCase{"", 0}, TextCase{nullptr, 0}));

class NameCheck : public HostPlatform, public ::testing::WithParamInterface<TextCase> {};
TEST_P(NameCheck, DomainAndRealmAcceptOneTo255NameCharacters) {
    EXPECT_EQ(ipu_check_domain_name(GetParam().text), GetParam().expected);
    EXPECT_EQ(ipu_check_realm(GetParam().text), GetParam().expected);
}
const std::string kName255 = std::string(254, 'a') + "b";
const std::string kName256 = std::string(256, 'a');
INSTANTIATE_TEST_SUITE_P(Texts, NameCheck,
                         ::testing::Values(TextCase{"C", 1}, TextCase{"corp_1-x.EXAMPLE", 1},
                                           TextCase{kName255.c_str(), 1}, TextCase{kName256.c_str(), 0},
                                           TextCase{".corp", 0}, TextCase{"corp.", 0}, TextCase{"\n", 0},
                                           TextCase{"", 0}, TextCase{"a b", 0}, TextCase{"a\tb", 0},
                                           TextCase{nullptr, 0}));

TEST_F(HostPlatform, BracketsAreMallocedAndCanBeMadeToFail) {
    char *bracketed = ipu_put_brackets_around_ipv6_address("2001:db8::1");
    ASSERT_NE(bracketed, nullptr);
    EXPECT_STREQ(bracketed, "[2001:db8::1]");
    std::free(bracketed);
    host::brackets_set_fail(true);
    EXPECT_EQ(ipu_put_brackets_around_ipv6_address("2001:db8::1"), nullptr);
}

TEST_F(HostPlatform, NamesResolveOnlyFromTheHostsTableWhenItIsSet) {
    host::hosts_set(std::map<std::string, std::string>{
        {"kdc1.corp.example", "192.0.2.7"}, {"v6.corp.example", "2001:db8::7"}, {"long.example", kLongestAddress}});
    char buffer[IPU_MAX_ADDRESS_TEXT + 2];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(get_ip_from_hostname("KDC1.corp.example", buffer), 1);
    EXPECT_STREQ(buffer, "192.0.2.7");
    EXPECT_EQ(get_ipv4_from_DNS("v6.corp.example", buffer), 0);
    EXPECT_EQ(get_ip_from_hostname("localhost", buffer), 0);
    EXPECT_EQ(get_ip_from_hostname(nullptr, buffer), 0);
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(get_ip_from_hostname("long.example", buffer), 1);
    EXPECT_EQ(buffer, kLongestAddress);
    EXPECT_EQ(buffer[IPU_MAX_ADDRESS_TEXT + 1], '#') << "wrote past 46 bytes";
}

TEST_F(HostPlatform, WithoutHostsTheMachineResolverAnswers) {
    char buffer[IPU_MAX_ADDRESS_TEXT + 1];
    EXPECT_EQ(get_ipv4_from_DNS("192.0.2.9", buffer), 1);
    EXPECT_STREQ(buffer, "192.0.2.9");
    EXPECT_EQ(get_ipv4_from_DNS("2001:db8::9", buffer), 0);
}

}  // namespace
