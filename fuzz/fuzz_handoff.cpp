// The hand-off of a user's request: the first byte chooses SMB or Kerberos,
// the rest is what the caller's descriptor holds (a memory file, seekable as
// the caller's is). Stored settings come from a fixed snapshot, so a request
// can match, differ from or replace the remembered names.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "fuzz_support.h"
#include "host_control.h"
#include "settings.h"
#include "tavrel/general_utilities.h"

namespace {

constexpr const char kSnapshot[] = R"(
[smb]
method = "domain"
[[smb.auth]]
domain = "CORP"
address = "192.0.2.5"
hostname = "dc1.corp.example"
[[kerberos]]
realm = "CORP.EXAMPLE"
kdc = "kdc1.corp.example"
kdc_address = ""
kdc_port = 88
)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::root();
    static const host::Settings settings = host::load_settings_text(kSnapshot, "handoff.toml");
    host::apply_settings(settings);
    if (size == 0) return 0;
    const int fd = memfd_create("request", MFD_CLOEXEC);
    if (fd < 0) fuzz::broken("memfd_create failed");
    if (size > 1 && write(fd, data + 1, size - 1) != static_cast<ssize_t>(size - 1)) fuzz::broken("write failed");
    // Left at its end, as a caller that wrote the request leaves it.
    const int result = (data[0] & 1) ? handle_kerberos_info_from_caller(fd) : handle_smb_info_from_caller(fd);
    if (result == 1 && lseek(fd, 0, SEEK_CUR) != 0) fuzz::broken("a request taken was not rewound");
    close(fd);
    fuzz::check_records_returned();
    return 0;
}
