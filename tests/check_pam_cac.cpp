// /etc/pam.d/pam_cac read as Linux-PAM reads a service file: a backslash
// before the line end joins lines, '#' starts a comment, blank lines are
// skipped, and a rule is type, control, module path and arguments. Whatever
// the config server holds, the stack keeps its rules and the OCSP rule ends
// in one proxy and one server argument.
#include <sstream>
#include <string>
#include <vector>

#include "pam_cases.h"
#include "tavrel/tavrel.h"
#include "tavrel_test.h"

namespace {

using Rule = std::vector<std::string>;  // type, control, module, arguments

std::vector<Rule> parse_pam(std::string text) {
    for (std::size_t at; (at = text.find("\\\n")) != std::string::npos;) text.replace(at, 2, " ");
    std::vector<Rule> rules;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        Rule rule;
        for (std::string w; words >> w;) rule.push_back(w);
        if (!rule.empty()) rules.push_back(rule);
    }
    return rules;
}

class PamCacRules : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<pam_cases::Case> {};

TEST_P(PamCacRules, KeepTheFixedStack) {
    load(GetParam().settings);
    ASSERT_EQ(cf_build_pam_conf_file_for_CAC(), 1);
    const std::vector<Rule> rules = parse_pam(read("/etc/pam.d/pam_cac").value_or(""));
    const std::vector<std::string> heads = {"auth requisite", "auth required", "auth optional", "account required"};
    ASSERT_GE(rules.size(), 3u);
    const std::size_t skipped = heads.size() - rules.size();  // 1 without the OCSP rule
    for (std::size_t i = 0; i < rules.size(); ++i) {
        ASSERT_GE(rules[i].size(), 3u);
        EXPECT_EQ(rules[i][0] + " " + rules[i][1], heads[i + skipped]);
        EXPECT_EQ(rules[i][2].rfind("/lib/security/", 0), 0u) << rules[i][2];
    }
    if (skipped != 0) return;
    const Rule &ocsp = rules[0];
    EXPECT_EQ(ocsp.back().rfind("server=", 0), 0u) << ocsp.back();
    EXPECT_TRUE(ocsp.size() == 9 || (ocsp.size() == 10 && ocsp[8].rfind("proxy=", 0) == 0)) << ocsp.size();
}

INSTANTIATE_TEST_SUITE_P(Switches, PamCacRules, ::testing::ValuesIn(pam_cases::all()),
                         [](const ::testing::TestParamInfo<pam_cases::Case> &p) { return std::string(p.param.name); });

}  // namespace
