// The host platform's behaviour that the library's tests and the tool rely on,
// set up through the settings file as the tool sets it up.
#include "platform.h"
#include "tavrel_test.h"

namespace {

using HostPlatform = tavrel_test::TavrelTest;

// The fixture's check that every record is freed exactly once rests on this;
// two good frees show the records are distinct.
TEST_F(HostPlatform, RecordsHandedOutAndFreedAreCounted) {
    load("[attributes]\n78 = \"CORP\"\n");
    SvcMonAttr *first = SvcMon_GetAttr(78), *second = SvcMon_GetAttr(78), foreign{};
    for (SvcMonAttr *r : {first, second, first, &foreign, static_cast<SvcMonAttr *>(nullptr)}) SvcMon_Free(r);
    const host::RecordCounts counts = host::svcmon_counts();
    EXPECT_EQ(std::tuple(counts.handed_out, counts.freed, counts.bad_frees), std::tuple(2u, 2u, 3u));
    EXPECT_EQ(host::svcmon_requests(), (std::vector<int32_t>{78, 78}));
    host::reset();  // these bad frees were the point; the fixture fails on any
}

const std::string kLongestAddress = "0000:0000:0000:0000:0000:ffff:255.255.255.255";  // 45

// The answer, then the text at byte 4 of the record.
std::string network(uint32_t index, uint32_t group = CN_PM_GROUP_INTERFACE) {
    CnPmCfg record{};
    const int answer = cn_get_pm_cfg_by_index(group, index, &record);
    // Appended, not `" " + std::string(...)`: that trips GCC 12's false
    // -Wrestrict in libstdc++ when optimised.
    return answer ? std::to_string(answer).append(" ").append(reinterpret_cast<const char *>(&record) + 4) : "0";
}

// The answer, then the address written; fails the test on a write past 46 bytes.
std::string resolve(int (*lookup)(const char *, char *), const char *name) {
    std::string buffer(IPU_MAX_ADDRESS_TEXT + 2, '#');
    const int answer = lookup(name, buffer.data());
    EXPECT_EQ(buffer.back(), '#') << "wrote past 46 bytes for " << name;
    return answer ? std::to_string(answer).append(" ").append(buffer.c_str()) : "0";
}

TEST_F(HostPlatform, ConfigNetworkAndPlatformTablesAnswerTheValuesGivenOnly) {
    load("[config]\nseven = 7\nurl = \"http://x\"\nflag = false\n[network]\naddress = \"192.0.2.20\"\nnetmask = \"\"\n"
         "[platform]\nfips = true\nhosts = { \"kdc1.corp.example\" = \"192.0.2.7\", \"long.example\" = \"" +
         kLongestAddress + "\" }\n");
    // Size 0: read as a boolean. A refusal leaves the output as it was.
    for (const auto &[key, size, answer] : std::vector<std::tuple<const char *, int, std::string>>{
             {"seven", 0, "7"}, {"flag", 0, "0"}, {"url", 0, "refused -1"}, {"absent", 0, "refused -1"},
             {"url", 9, "http://x"}, {"url", 8, "refused #"}, {"flag", 9, "false"}, {"absent", 9, "refused #"}}) {
        int value = -1;
        char buffer[16] = "#";
        const int result = size ? Cfg_GetAttrValue(key, buffer, size) : Cfg_GetBoolAttrValue(key, &value);
        EXPECT_EQ((result ? "refused " : "") + (size ? std::string(buffer) : std::to_string(value)), answer) << key << size;
    }
    EXPECT_EQ(network(CN_PM_INDEX_ADDRESS) + " | " + network(CN_PM_INDEX_NETMASK), "1 192.0.2.20 | 0") << "mask \"\"";
    EXPECT_EQ(network(CN_PM_INDEX_ADDRESS, 0x10000), "0") << "another group";
    EXPECT_EQ(getFIPSstatus(), 1);
    EXPECT_EQ(resolve(get_ip_from_hostname, "KDC1.corp.example"), "1 192.0.2.7");
    EXPECT_EQ(resolve(get_ip_from_hostname, "long.example"), "1 " + kLongestAddress);
    EXPECT_EQ(resolve(get_ipv4_from_DNS, "long.example"), "0") << "not IPv4";
    EXPECT_EQ(resolve(get_ip_from_hostname, "localhost"), "0") << "not listed";
    load("[network]\nnetmask = \"255.255.255.0\"\n");
    EXPECT_EQ(network(CN_PM_INDEX_ADDRESS) + " | " + network(CN_PM_INDEX_NETMASK), "0 | 1 255.255.255.0") << "no address";
    EXPECT_EQ(resolve(get_ipv4_from_DNS, "192.0.2.9"), "1 192.0.2.9") << "the machine's resolver";
}

// Each text with what the address check and the domain and realm checks answer.
TEST_F(HostPlatform, AddressAndNameChecksHoldTheirLimits) {
    const std::string name255 = tavrel_test::repeat(254) + "b", name256 = tavrel_test::repeat(256);
    for (const auto &[text, address, name] : std::vector<std::tuple<const char *, int, int>>{
             {"192.0.2.1", 1, 1}, {kLongestAddress.c_str(), 1, 0}, {"256.0.0.1", 0, 1}, {" 192.0.2.1", 0, 0},
             {"C", 0, 1}, {"corp_1-x.EXAMPLE", 0, 1}, {name255.c_str(), 0, 1}, {name256.c_str(), 0, 0},
             {".corp", 0, 0}, {"corp.", 0, 0}, {"a\tb", 0, 0}, {"", 0, 0}, {nullptr, 0, 0}})
        EXPECT_EQ(std::tuple(is_it_an_IP_address(text), ipu_check_domain_name(text), ipu_check_realm(text)),
                  std::tuple(address, name, name)) << (text ? text : "(null)");
}

}  // namespace
