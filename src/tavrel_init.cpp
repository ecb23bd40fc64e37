// Start-up: environment defaults of the data store, attachment, notification
// handle and registration with the service monitor; and the event callback.
#include "tavrel/tavrel_init.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "datastore.h"
#include "log.h"
#include "svcmon.h"

uint32_t eventHandle = 0;

namespace {
constexpr char kLogSource[] = "tavrel_init";
constexpr char kStartupStep[] = "tavrel_svcMon_init";

// putenv keeps the text itself, so it must live for the whole process.
char dstore_default[] = "DSTORE=512000";
char range_default[] = "RANGE=100";

constexpr int kGeneralClass = 6;
constexpr int kNetworkScanClass = 3;
constexpr int kLanFaxClass = 15;

struct IdRange {
    uint32_t first;
    uint32_t last;
};

constexpr std::array kAuthenticationIds{
    IdRange{30, 33}, IdRange{36, 38}, IdRange{41, 43}, IdRange{46, 48}, IdRange{51, 53},
    IdRange{56, 58}, IdRange{61, 63}, IdRange{66, 68}, IdRange{71, 73}, IdRange{76, 112},
};
constexpr std::array kFilingIds{
    IdRange{258, 302}, IdRange{308, 331}, IdRange{335, 340}, IdRange{342, 344}, IdRange{346, 348},
};

template <std::size_t N>
constexpr bool in_ranges(const std::array<IdRange, N> &ranges, uint32_t id) {
    for (const IdRange &range : ranges)
        if (id >= range.first && id <= range.last) return true;
    return false;
}

// Makes sure the variable exists, putting the default when it does not.
bool ensure_variable(const char *name, char *default_text, const char *missing_notice, const char *failure_notice) {
    if (std::getenv(name)) return true;
    (void)std::fputs(missing_notice, stderr);
    if (putenv(default_text) == 0) return true;
    (void)std::fputs(failure_notice, stderr);
    return false;
}

int startup_failed() {
    TLOG(logSpecError, "Cannot initialize tavrel Library");
    return -1;
}

}  // namespace

int tavrel_init(void) {
    if (!ensure_variable("DSTORE", dstore_default, "DSTORE variable not found, assuming 512000...\n",
                         "Could not set DSTORE, exiting...\n"))
        return startup_failed();
    if (!ensure_variable("RANGE", range_default, "RANGE variable not found, assuming 100...\n",
                         "Could not set RANGE, exiting...\n"))
        return startup_failed();

    // The store in force now, the default included when it was just set.
    const uint32_t store = ds_attach(std::getenv("DSTORE"), 0);
    if (store == 0) {
        TLOG(logSpecError, "%s - ds_init() failed.", kStartupStep);
        return startup_failed();
    }
    eventHandle = sc_notify_init(store);
    if (eventHandle == 0) {
        TLOG(logSpecError, "%s - Failed on call to sc_notify_init", kStartupStep);
        return startup_failed();
    }

    // Class 6 is not needed for scanning or faxing: its failure is only logged.
    int result = SvcMon_Init(kGeneralClass, tavrel_event_callback, eventHandle);
    if (result != 0) TLOG(logSpecError, "%s - SvcMon_Init Error: %d", kStartupStep, result);

    (void)std::fputs("Initializing for network scan\n", stderr);
    result = SvcMon_Init(kNetworkScanClass, tavrel_event_callback, eventHandle);
    if (result != 0) {
        (void)std::fprintf(stderr, "Network Scan init Service Monitor Error: %d\n", result);
        return startup_failed();
    }
    result = SvcMon_Init(kLanFaxClass, tavrel_event_callback, eventHandle);
    if (result != 0) {
        (void)std::fprintf(stderr, "LAN Fax init Serrvice Monitor Error: %d\n", result);
        return startup_failed();
    }
    return 0;
}

void tavrel_event_callback(uint32_t attributeId) {
    if (in_ranges(kAuthenticationIds, attributeId)) {
        TLOG(logSpecLibInfo, "Doing Client Callback from SVCMON for Authentication");
    } else if (in_ranges(kFilingIds, attributeId)) {
        TLOG(logSpecLibInfo, "Doing Client Callback from SVCMON for Filing");
    } else {
        TLOG(logSpecError, "%s - Invalid attribute id in Service Monitor event: %d", "tavrel_event_callback",
             static_cast<int>(attributeId));
    }
}
