// The host platform's behaviour that the library's tests and the tool rely on,
// set up through the settings file as the tool sets it up.
#include <cstring>

#include "platform.h"
#include "tavrel_test.h"

namespace {

using tavrel_test::repeat;
using HostPlatform = tavrel_test::TavrelTest;

TEST_F(HostPlatform, RecordsAreFreshCopiesAndBadFreesAreCounted) {
    load("[attributes]\n78 = \"CORP\"\n");
    SvcMonAttr *first = SvcMon_GetAttr(78), *second = SvcMon_GetAttr(78);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->value.text, second->value.text);
    SvcMonAttr foreign{};
    for (SvcMonAttr *r : {first, second, first, &foreign, static_cast<SvcMonAttr *>(nullptr)}) SvcMon_Free(r);
    const host::RecordCounts counts = host::svcmon_counts();
    EXPECT_EQ(counts.handed_out, 2u);
    EXPECT_EQ(counts.freed, 2u);
    EXPECT_EQ(counts.bad_frees, 3u);
    EXPECT_EQ(host::svcmon_requests(), (std::vector<int32_t>{78, 78}));
    host::reset();  // these bad frees were the point; the fixture fails on any
}

// Size 0: read as a boolean. A refusal must leave the output as it was.
std::string config(const char *key, int size) {
    int value = -1;
    char buffer[16] = "#";
    const int answer = size ? Cfg_GetAttrValue(key, buffer, size) : Cfg_GetBoolAttrValue(key, &value);
    return (answer == 0 ? "" : "refused ") + (size ? std::string(buffer) : std::to_string(value));
}

TEST_F(HostPlatform, ConfigReadsFollowTheKeysType) {
    load("[config]\nseven = 7\nurl = \"http://x\"\nflag = false\n");
    for (const auto &[key, size, answer] : std::vector<std::tuple<const char *, int, std::string>>{
             {"seven", 0, "7"}, {"flag", 0, "0"}, {"url", 0, "refused -1"}, {"absent", 0, "refused -1"},
             {"url", 9, "http://x"}, {"url", 8, "refused #"}, {"flag", 9, "false"}, {"seven", 9, "7"},
             {"absent", 9, "refused #"}})
        EXPECT_EQ(config(key, size), answer) << key << " in " << size;
}

// The answer, then the text at byte 4 of the record.
std::string network(uint32_t index, uint32_t group = CN_PM_GROUP_INTERFACE) {
    CnPmCfg record{};
    const int answer = cn_get_pm_cfg_by_index(group, index, &record);
    return std::to_string(answer) + (answer ? " " + std::string(reinterpret_cast<const char *>(&record) + 4) : "");
}

TEST_F(HostPlatform, NetworkAnswersTheValuesGivenOnly) {
    load("[network]\naddress = \"192.0.2.20\"\nnetmask = \"\"\n");
    EXPECT_EQ(network(CN_PM_INDEX_ADDRESS), "1 192.0.2.20");
    EXPECT_EQ(network(CN_PM_INDEX_NETMASK), "0") << "set to \"\"";
    EXPECT_EQ(network(3), "0");
    EXPECT_EQ(network(CN_PM_INDEX_ADDRESS, 0x10000), "0");
    load("[network]\nnetmask = \"255.255.255.0\"\n");
    EXPECT_EQ(network(CN_PM_INDEX_ADDRESS), "0") << "left out";
    EXPECT_EQ(network(CN_PM_INDEX_NETMASK), "1 255.255.255.0");
}

const std::string kLongestAddress = "0000:0000:0000:0000:0000:ffff:255.255.255.255";  // 45

// The answer, then the address written; fails the test on a write past 46 bytes.
std::string resolve(int (*lookup)(const char *, char *), const char *name) {
    char buffer[IPU_MAX_ADDRESS_TEXT + 2];
    std::memset(buffer, '#', sizeof buffer);
    const int answer = lookup(name, buffer);
    EXPECT_EQ(buffer[IPU_MAX_ADDRESS_TEXT + 1], '#') << "wrote past 46 bytes for " << (name ? name : "(null)");
    return std::to_string(answer) + (answer ? " " + std::string(buffer) : "");
}

TEST_F(HostPlatform, PlatformTableGivesFipsAndTheOnlyNamesThatResolve) {
    load("[platform]\nfips = true\nhosts = { \"kdc1.corp.example\" = \"192.0.2.7\", \"v6.corp.example\" = "
         "\"2001:db8::7\", \"long.example\" = \"" + kLongestAddress + "\" }\n");
    EXPECT_EQ(getFIPSstatus(), 1);
    EXPECT_EQ(resolve(get_ip_from_hostname, "KDC1.corp.example"), "1 192.0.2.7");
    EXPECT_EQ(resolve(get_ip_from_hostname, "long.example"), "1 " + kLongestAddress);
    EXPECT_EQ(resolve(get_ip_from_hostname, "v6.corp.example"), "1 2001:db8::7");
    EXPECT_EQ(resolve(get_ipv4_from_DNS, "v6.corp.example"), "0");
    EXPECT_EQ(resolve(get_ip_from_hostname, "localhost"), "0");
    load("[platform]\nfips = false\n");
    EXPECT_EQ(getFIPSstatus(), 0);
    EXPECT_EQ(resolve(get_ipv4_from_DNS, "192.0.2.9"), "1 192.0.2.9") << "the machine's resolver";
    EXPECT_EQ(resolve(get_ipv4_from_DNS, "2001:db8::9"), "0");
}

// Each text with what the address check and the domain and realm checks answer.
TEST_F(HostPlatform, AddressAndNameChecksHoldTheirLimits) {
    const std::string name255 = repeat(254) + "b", name256 = repeat(256);
    for (const auto &[text, address, name] : std::vector<std::tuple<const char *, int, int>>{
             {"192.0.2.1", 1, 1}, {"2001:db8::1", 1, 0}, {kLongestAddress.c_str(), 1, 0}, {"256.0.0.1", 0, 1},
             {"fe80::1%eth0", 0, 0}, {" 192.0.2.1", 0, 0}, {"C", 0, 1}, {"corp_1-x.EXAMPLE", 0, 1},
             {name255.c_str(), 0, 1}, {name256.c_str(), 0, 0}, {".corp", 0, 0}, {"corp.", 0, 0}, {"\n", 0, 0},
             {"", 0, 0}, {"a b", 0, 0}, {"a\tb", 0, 0}, {nullptr, 0, 0}}) {
        EXPECT_EQ(is_it_an_IP_address(text), address) << (text ? text : "(null)");
        EXPECT_EQ(ipu_check_domain_name(text), name) << (text ? text : "(null)");
        EXPECT_EQ(ipu_check_realm(text), name) << (text ? text : "(null)");
    }
}

}  // namespace
