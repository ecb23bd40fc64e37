// Start-up: environment defaults, what the data store is attached with, what
// a failure at each step leaves; and the classification of change events.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tavrel/tavrel_init.h"
#include "tavrel_test.h"

namespace {

using Lines = std::vector<std::string>;

struct InitCase {
    const char *name;
    void (*arrange)();
    const char *err;  // all of standard error
    int result;
    Lines log;
    std::vector<int> classes;  // registered, in order
};
void PrintTo(const InitCase &c, std::ostream *os) { *os << c.name; }

constexpr char kScan[] = "Initializing for network scan\n";

class Init : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<InitCase> {};

TEST_P(Init, StderrResultLogAndRegistrations) {
    setenv("DSTORE", "640000", 1);
    setenv("RANGE", "50", 1);
    GetParam().arrange();
    int result = 99;
    EXPECT_EQ(tavrel_test::capture_stderr([&] { result = tavrel_init(); }), GetParam().err);
    EXPECT_EQ(result, GetParam().result);
    EXPECT_EQ(log_lines(), GetParam().log);
    std::vector<int> classes;
    for (const auto &r : host::svcmon_registrations()) {
        classes.push_back(r.svc_class);
        EXPECT_EQ(r.handle, eventHandle);
    }
    EXPECT_EQ(classes, GetParam().classes);
    // The store in force is attached, the default when it was missing.
    if (!host::ds_calls().empty()) {
        EXPECT_EQ(host::ds_calls()[0].dstore, getenv("DSTORE"));
    }
}

const Lines kCannot{"ERROR Cannot initialize tavrel Library"};

INSTANTIATE_TEST_SUITE_P(
    Steps, Init,
    ::testing::Values(
        InitCase{"BothVariables", [] {}, kScan, 0, {}, {6, 3, 15}},
        InitCase{"NoDstore", [] { unsetenv("DSTORE"); },
                 "DSTORE variable not found, assuming 512000...\nInitializing for network scan\n", 0, {}, {6, 3, 15}},
        InitCase{"NoRange", [] { unsetenv("RANGE"); },
                 "RANGE variable not found, assuming 100...\nInitializing for network scan\n", 0, {}, {6, 3, 15}},
        InitCase{"AttachFails", [] { host::ds_set_fail(true); }, "", -1,
                 {"ERROR tavrel_svcMon_init - ds_init() failed.", kCannot[0]}, {}},
        InitCase{"NotifyFails", [] { host::notify_set_fail(true); }, "", -1,
                 {"ERROR tavrel_svcMon_init - Failed on call to sc_notify_init", kCannot[0]}, {}},
        InitCase{"ClassSixFails", [] { host::svcmon_set_init_result(6, 7); }, kScan, 0,
                 {"ERROR tavrel_svcMon_init - SvcMon_Init Error: 7"}, {6, 3, 15}},
        InitCase{"NetworkScanFails", [] { host::svcmon_set_init_result(3, 9); },
                 "Initializing for network scan\nNetwork Scan init Service Monitor Error: 9\n", -1, kCannot, {6, 3}},
        InitCase{"LanFaxFails", [] { host::svcmon_set_init_result(15, -2); },
                 "Initializing for network scan\nLAN Fax init Serrvice Monitor Error: -2\n", -1, kCannot, {6, 3, 15}}),
    [](const auto &p) { return std::string(p.param.name); });

class Events : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<std::pair<uint32_t, char>> {};

TEST_P(Events, ClassifiedByRange) {
    const auto [id, kind] = GetParam();
    tavrel_event_callback(id);
    const std::string expected =
        kind == 'a'   ? "LIBINFO Doing Client Callback from SVCMON for Authentication"
        : kind == 'f' ? "LIBINFO Doing Client Callback from SVCMON for Filing"
                      : "ERROR tavrel_event_callback - Invalid attribute id in Service Monitor event: " +
                            std::to_string(static_cast<int32_t>(id));
    EXPECT_EQ(log_lines(), Lines{expected});
}

// The first and last id of every range, and their neighbours.
INSTANTIATE_TEST_SUITE_P(
    Boundaries, Events,
    ::testing::ValuesIn(std::vector<std::pair<uint32_t, char>>{
        {0, 'i'},   {29, 'i'},  {30, 'a'},  {33, 'a'},  {34, 'i'},  {35, 'i'},  {36, 'a'},         {38, 'a'},
        {39, 'i'},  {73, 'a'},  {75, 'i'},  {76, 'a'},  {112, 'a'}, {113, 'i'}, {257, 'i'},        {258, 'f'},
        {302, 'f'}, {303, 'i'}, {307, 'i'}, {308, 'f'}, {331, 'f'}, {332, 'i'}, {334, 'i'},        {335, 'f'},
        {340, 'f'}, {341, 'i'}, {342, 'f'}, {344, 'f'}, {345, 'i'}, {346, 'f'}, {348, 'f'},        {349, 'i'},
        {0xFFFFFFFFu, 'i'}}));

}  // namespace
