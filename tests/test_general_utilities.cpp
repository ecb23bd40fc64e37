// Text and output helpers shared by the builders.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tavrel/general_utilities.h"
#include "tavrel_test.h"

namespace {

class Helpers : public tavrel_test::TavrelTest {};

TEST_F(Helpers, ReplaceAndUpcaseWorkInPlaceAndIgnoreNull) {
    char path[] = "\\\\server\\share";
    string_replace(path, '\\', '/');
    string_replace(path, '#', '?');
    EXPECT_STREQ(path, "//server/share");
    char realm[] = "corp-2.example";
    upcase(realm);
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

class PortValue : public Helpers, public ::testing::WithParamInterface<std::pair<uint32_t, const char *>> {};

TEST_P(PortValue, WritesColonAndPortOnlyFrom1To65534) {
    FILE *stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    write_out_port_value(stream, GetParam().first);
    std::string text(16, '\0');
    std::rewind(stream);
    text.resize(std::fread(text.data(), 1, text.size(), stream));
    std::fclose(stream);
    EXPECT_EQ(text, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Ports, PortValue,
                         ::testing::Values(std::pair{0u, ""}, std::pair{1u, ":1"}, std::pair{88u, ":88"},
                                           std::pair{65534u, ":65534"}, std::pair{65535u, ""}));

}  // namespace
