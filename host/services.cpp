// The host's data store, notification service, config server, network
// configuration and FIPS status.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <array>
#include <charconv>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string_view>
#include <variant>

#include "config_server.h"
#include "datastore.h"
#include "fips.h"
#include "host_control.h"
#include "host_internal.h"
#include "netcfg.h"

namespace host {

namespace {

using ConfigEntry = std::variant<bool, int64_t, std::string>;

std::mutex g_mutex;

bool g_ds_fail = false;
bool g_notify_fail = false;
std::vector<DsCall> g_ds_calls;
std::vector<uint32_t> g_notify_calls;
// Handles are distinct per call so a test can tell which one was passed on.
constexpr uint32_t kDsHandleBase = 0x0D500000u;
constexpr uint32_t kNotifyHandleBase = 0x0E700000u;

// Ordered by the key with a transparent comparison, so a lookup by the
// caller's C string is logarithmic and copies nothing.
std::map<std::string, ConfigEntry, std::less<>> g_config;

bool g_network_from_machine = true;
std::optional<std::string> g_address, g_netmask;

std::optional<int> g_fips;

// Copies text with its NUL into a buffer of `size` bytes; false (buffer
// untouched) when it does not fit.
bool copy_fitting(std::string_view text, char *buffer, std::size_t size) {
    if (text.size() + 1 > size) return false;
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return true;
}

// Address or mask of this machine's first non-loopback IPv4 interface.
std::optional<std::string> machine_value(uint32_t index) {
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::optional<std::string> value;
    for (const ifaddrs *i = list; i != nullptr && !value; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET || (i->ifa_flags & IFF_LOOPBACK) != 0)
            continue;
        const sockaddr *sa = index == CN_PM_INDEX_ADDRESS ? i->ifa_addr : i->ifa_netmask;
        if (sa == nullptr) continue;
        char text[INET_ADDRSTRLEN] = {};
        sockaddr_in in;
        std::memcpy(&in, sa, sizeof in);
        if (inet_ntop(AF_INET, &in.sin_addr, text, sizeof text) != nullptr) value = text;
    }
    freeifaddrs(list);
    return value;
}

}  // namespace

void ds_set_fail(bool fail) {
    std::lock_guard lock(g_mutex);
    g_ds_fail = fail;
}

void notify_set_fail(bool fail) {
    std::lock_guard lock(g_mutex);
    g_notify_fail = fail;
}

const std::vector<DsCall> &ds_calls() { return g_ds_calls; }
const std::vector<uint32_t> &notify_calls() { return g_notify_calls; }

void config_set_bool(const std::string &key, bool value) {
    std::lock_guard lock(g_mutex);
    g_config[key] = value;
}

void config_set_int(const std::string &key, int64_t value) {
    std::lock_guard lock(g_mutex);
    g_config[key] = value;
}

void config_set_text(const std::string &key, const std::string &value) {
    std::lock_guard lock(g_mutex);
    g_config[key] = value;
}

void config_unset(const std::string &key) {
    std::lock_guard lock(g_mutex);
    g_config.erase(key);
}

void config_clear() {
    std::lock_guard lock(g_mutex);
    g_config.clear();
}

void network_set(std::optional<std::string> address, std::optional<std::string> netmask) {
    std::lock_guard lock(g_mutex);
    g_network_from_machine = false;
    g_address = std::move(address);
    g_netmask = std::move(netmask);
}

void network_use_machine() {
    std::lock_guard lock(g_mutex);
    g_network_from_machine = true;
    g_address.reset();
    g_netmask.reset();
}

void fips_set(std::optional<int> status) {
    std::lock_guard lock(g_mutex);
    g_fips = status;
}

namespace detail {

void reset_services() {
    std::lock_guard lock(g_mutex);
    g_ds_fail = g_notify_fail = false;
    g_ds_calls.clear();
    g_notify_calls.clear();
    g_config.clear();
    g_network_from_machine = true;
    g_address.reset();
    g_netmask.reset();
    g_fips.reset();
}

}  // namespace detail

}  // namespace host

using namespace host;

uint32_t ds_attach(const char *dstore, int flags) {
    std::lock_guard lock(g_mutex);
    g_ds_calls.push_back(DsCall{dstore != nullptr ? std::optional<std::string>(dstore) : std::nullopt, flags});
    if (g_ds_fail) return 0;
    return kDsHandleBase + static_cast<uint32_t>(g_ds_calls.size());
}

uint32_t sc_notify_init(uint32_t ds_handle) {
    std::lock_guard lock(g_mutex);
    g_notify_calls.push_back(ds_handle);
    if (g_notify_fail) return 0;
    return kNotifyHandleBase + static_cast<uint32_t>(g_notify_calls.size());
}

int Cfg_GetBoolAttrValue(const char *key, int *value) {
    if (key == nullptr || value == nullptr) return -1;
    std::lock_guard lock(g_mutex);
    const auto found = g_config.find(std::string_view(key));
    if (found == g_config.end()) return 1;
    if (const bool *b = std::get_if<bool>(&found->second)) {
        *value = *b ? 1 : 0;
        return 0;
    }
    if (const int64_t *i = std::get_if<int64_t>(&found->second)) {
        *value = static_cast<int>(static_cast<int32_t>(*i));
        return 0;
    }
    return 2;  // a text is not a boolean
}

int Cfg_GetAttrValue(const char *key, char *buffer, int size) {
    if (key == nullptr || buffer == nullptr || size <= 0) return -1;
    std::lock_guard lock(g_mutex);
    const auto found = g_config.find(std::string_view(key));
    if (found == g_config.end()) return 1;
    // Every value has a text form, as a device's config server shows it.
    std::array<char, 24> number{};
    std::string_view text;
    if (const bool *b = std::get_if<bool>(&found->second)) {
        text = *b ? "true" : "false";
    } else if (const int64_t *i = std::get_if<int64_t>(&found->second)) {
        const auto end = std::to_chars(number.data(), number.data() + number.size(), *i).ptr;
        text = std::string_view(number.data(), static_cast<std::size_t>(end - number.data()));
    } else {
        text = std::get<std::string>(found->second);
    }
    return copy_fitting(text, buffer, static_cast<std::size_t>(size)) ? 0 : 3;
}

int cn_get_pm_cfg_by_index(uint32_t group, uint32_t index, void *record) {
    if (record == nullptr || group != CN_PM_GROUP_INTERFACE) return 0;
    if (index != CN_PM_INDEX_ADDRESS && index != CN_PM_INDEX_NETMASK) return 0;
    std::optional<std::string> value;
    bool from_machine;
    {
        std::lock_guard lock(g_mutex);
        from_machine = g_network_from_machine;
        if (!from_machine) value = index == CN_PM_INDEX_ADDRESS ? g_address : g_netmask;
    }
    if (from_machine) value = machine_value(index);
    if (!value || value->empty()) return 0;
    CnPmCfg *cfg = static_cast<CnPmCfg *>(record);
    return copy_fitting(*value, cfg->text, sizeof cfg->text) ? 1 : 0;
}

int getFIPSstatus(void) {
    {
        std::lock_guard lock(g_mutex);
        if (g_fips) return *g_fips;
    }
    std::ifstream in("/proc/sys/crypto/fips_enabled");
    int status = 0;
    if (!(in >> status)) return 0;
    return status;
}
