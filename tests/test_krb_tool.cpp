// The Kerberos and smart-card commands of the tavrel tool: arguments reach
// the builders, results become exit statuses.
#include <string>

#include "tavrel_test.h"

namespace {

using tavrel_test::run_tool;
using KrbTool = tavrel_test::TavrelTest;

TEST_F(KrbTool, CacCommandPassesPortAndWin2k) {
    const auto run = run_tool({"-r", root(), "krb5-cac", "corp.example", "dc1.corp.example", "750", "--win2k"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string text = read("/usr/heimdal/etc/krb5.conf").value_or("");
    EXPECT_NE(text.find("\t\tadmin_server = dc1.corp.example:750\n\t\tpkinit_win2k = yes\n"), std::string::npos);
}

TEST_F(KrbTool, UsageErrorsExitWith2AndRefusalsWith1) {
    EXPECT_EQ(run_tool({"-r", root(), "krb5-cac", "CORP", "dc1", "eighty-eight"}).status, 2);
    EXPECT_EQ(run_tool({"-r", root(), "krb5-cac", "CORP", "dc1", "88", "--win3k"}).status, 2);
    EXPECT_EQ(run_tool({"-r", root(), "krb5-service", "CORP.EXAMPLE", "one"}).status, 2);
    EXPECT_EQ(run_tool({"-r", root(), "krb5-service", "CORP.EXAMPLE", "10"}).status, 1);
    EXPECT_EQ(run_tool({"-r", root(), "krb5-record"}).status, 1);  // no [krb5_record] table
    EXPECT_EQ(run_tool({"-r", root(), "krb5-cac", "CORP\"", "dc1", "88"}).status, 1);
}

}  // namespace
