// What the smb.conf builder tests share. The files they expect live under
// tests/data/smb/, where the testparm checker reads the very same files.
#pragma once

#include <string>

#include "tavrel_test.h"

namespace smb_scenarios {

// The device at 192.168.1.20/24; only these names resolve.
inline const std::string kDevice =
    "[network]\naddress = \"192.168.1.20\"\nnetmask = \"255.255.255.0\"\n[platform]\nhosts = { \"dc1.corp.example\" = "
    "\"192.0.2.11\", \"dc2.corp.example\" = \"192.0.2.12\", \"files.corp.example\" = \"192.0.2.30\" }\n";
inline const std::string kPrevious = "# the previous configuration\n";

// The expected file tests/data/smb/<name>; empty when there is none.
inline std::string golden(const std::string &name) { return tavrel_test::source_text("tests/data/smb/" + name); }

}  // namespace smb_scenarios
