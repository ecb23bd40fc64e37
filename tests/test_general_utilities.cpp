// Text and output helpers shared by the builders.
#include <cstdio>

#include "tavrel/general_utilities.h"
#include "tavrel_test.h"

namespace {

class Helpers : public tavrel_test::TavrelTest {};

TEST_F(Helpers, ReplaceAndUpcaseWorkInPlaceAndIgnoreNull) {
    char path[] = "\\\\server\\share", realm[] = "corp-2.example";
    string_replace(path, '\\', '/');
    upcase(realm);
    EXPECT_STREQ(path, "//server/share");
    EXPECT_STREQ(realm, "CORP-2.EXAMPLE");
    string_replace(nullptr, '\\', '/');
    upcase(nullptr);
    write_out_port_value(nullptr, 88);
}

TEST_F(Helpers, DeprecatedCallsOnlyLog) {
    set_config_update_needed();
    EXPECT_EQ(config_update_needed(), 1);
    EXPECT_EQ(log_lines(), (std::vector<std::string>{
                               "FORCEINFO [set_config_update_needed] is Depreciated, do not use it!!",
                               "FORCEINFO [config_update_needed] is Depreciated, do not use it!!"}));
}

TEST_F(Helpers, PortIsWrittenWithItsColonOnlyFrom1To65534) {
    for (const auto &[port, text] : {std::pair{0u, ""}, {1u, ":1"}, {65534u, ":65534"}, {65535u, ""}}) {
        char out[16] = {};
        FILE *stream = fmemopen(out, sizeof out, "w");
        ASSERT_NE(stream, nullptr);
        write_out_port_value(stream, port);
        std::fclose(stream);
        EXPECT_STREQ(out, text) << port;
    }
}

}  // namespace
