// Start-up: environment defaults, what the data store is attached with, what
// a failure at each step leaves; and the classification of change events.
#include <cstdlib>

#include "tavrel_test.h"

namespace {

using tavrel_test::Lines;

struct InitCase {
    const char *name;
    void (*arrange)();
    const char *err;  // all of standard error
    int result;
    Lines log;
    std::vector<int> classes;  // registered, in order
};
void PrintTo(const InitCase &c, std::ostream *os) { *os << c.name; }

class Init : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<InitCase> {};

TEST_P(Init, StderrResultLogAndRegistrations) {
    setenv("DSTORE", "640000", 1);
    setenv("RANGE", "50", 1);
    GetParam().arrange();
    EXPECT_EQ(tavrel_test::capture_stderr([] { EXPECT_EQ(tavrel_init(), GetParam().result); }), GetParam().err);
    EXPECT_EQ(log_lines(), GetParam().log);
    std::vector<int> classes;  // a class registered with another handle than eventHandle shows as -1
    for (const auto &r : host::svcmon_registrations()) classes.push_back(r.handle == eventHandle ? r.svc_class : -1);
    EXPECT_EQ(classes, GetParam().classes);
    // The store in force is attached, the default when it was missing.
    EXPECT_EQ(host::ds_calls().at(0).dstore, getenv("DSTORE"));
}

const Lines kCannot{"ERROR Cannot initialize tavrel Library"};

INSTANTIATE_TEST_SUITE_P(Steps, Init, ::testing::Values(
        InitCase{"NoVariables", [] { for (const char *name : {"DSTORE", "RANGE"}) unsetenv(name); }, "DSTORE variable not found, assuming 512000...\nRANGE variable not found, assuming 100...\nInitializing for network scan\n", 0, {}, {6, 3, 15}},
        InitCase{"AttachFails", [] { host::ds_set_fail(true); }, "", -1, {"ERROR tavrel_svcMon_init - ds_init() failed.", kCannot[0]}, {}},
        InitCase{"NotifyFails", [] { host::notify_set_fail(true); }, "", -1, {"ERROR tavrel_svcMon_init - Failed on call to sc_notify_init", kCannot[0]}, {}},
        InitCase{"ClassSixFails", [] { host::svcmon_set_init_result(6, 7); }, "Initializing for network scan\n", 0, {"ERROR tavrel_svcMon_init - SvcMon_Init Error: 7"}, {6, 3, 15}},
        InitCase{"NetworkScanFails", [] { host::svcmon_set_init_result(3, 9); }, "Initializing for network scan\nNetwork Scan init Service Monitor Error: 9\n", -1, kCannot, {6, 3}},
        InitCase{"LanFaxFails", [] { host::svcmon_set_init_result(15, -2); }, "Initializing for network scan\nLAN Fax init Serrvice Monitor Error: -2\n", -1, kCannot, {6, 3, 15}}),
    [](const auto &p) { return std::string(p.param.name); });

// The device's attribute ranges, as its service monitor numbers them.
struct Range { uint32_t first, last; };
const Range kAuthentication[] = {{30, 33}, {36, 38}, {41, 43}, {46, 48}, {51, 53},
                                 {56, 58}, {61, 63}, {66, 68}, {71, 73}, {76, 112}};
const Range kFiling[] = {{258, 302}, {308, 331}, {335, 340}, {342, 344}, {346, 348}};

class Events : public tavrel_test::TavrelTest {};

// Every id up to past the last range, and the largest, in its class: the ids
// run from the largest, wrapping round to 0.
TEST_F(Events, AreClassifiedByRange) {
    const std::string callback = "LIBINFO Doing Client Callback from SVCMON for ";
    const auto in = [](const auto &ranges, uint32_t id) {
        return std::ranges::any_of(ranges, [id](Range r) { return id >= r.first && id <= r.last; });
    };
    for (uint32_t id = 0xFFFFFFFFu; id != 400; ++id) {
        host::log_clear();
        tavrel_event_callback(id);
        const std::string expected =
            in(kAuthentication, id) ? callback + "Authentication"
            : in(kFiling, id)       ? callback + "Filing"
                                    : "ERROR tavrel_event_callback - Invalid attribute id in Service Monitor event: " +
                                    std::to_string(static_cast<int32_t>(id));
        EXPECT_EQ(log_lines(), Lines{expected}) << id;
    }
}

}  // namespace
