// The host's IP utilities: address checks through inet_pton, name and realm
// syntax checks, and name resolution from the settings' hosts table or, when
// there is none, from this machine's resolver.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "host_control.h"
#include "host_internal.h"
#include "ip_utils.h"

namespace host {

namespace {

constexpr std::size_t kMaxName = 255;

// A name as the lookup compares it: up to its first NUL, ASCII letters in
// lower case (strcasecmp in the C locale, which the host never leaves).
std::string folded(std::string_view name) {
    std::string key(name.substr(0, name.find('\0')));
    for (char &c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

// The same, into a buffer of the caller's, for a lookup that allocates
// nothing; nullopt for a text longer than any name, which no entry matches.
std::optional<std::string_view> folded(const char *name, std::array<char, kMaxName + 1> &buffer) {
    const std::size_t length = strnlen(name, buffer.size());
    if (length == buffer.size()) return std::nullopt;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = name[i];
        buffer[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return std::string_view(buffer.data(), length);
}

// Lets the table be searched by a string_view.
struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};

std::mutex g_mutex;
// The hosts table by folded name, so a lookup is one hash whatever the size
// of the table. Names that fold alike keep the address of the last in the
// table's order, as a scan of the table that kept its last match would.
using HostTable = std::unordered_map<std::string, std::string, NameHash, std::equal_to<>>;
std::optional<HostTable> g_hosts;
bool g_brackets_fail = false;

// Length of text up to limit + 1, so an over-long text is never read whole.
std::size_t bounded_length(const char *text, std::size_t limit) { return strnlen(text, limit + 1); }

bool is_address(const char *text, int family) {
    if (text == nullptr) return false;
    const std::size_t length = bounded_length(text, IPU_MAX_ADDRESS_TEXT);
    if (length > IPU_MAX_ADDRESS_TEXT) return false;
    // Host names are asked about far more often than addresses: the shape
    // each form must have turns most of them away before inet_pton.
    const std::string_view t(text, length);
    if (family == AF_INET6 && t.find(':') == std::string_view::npos) return false;
    if (family == AF_INET && (t.empty() || t.front() < '0' || t.front() > '9')) return false;
    unsigned char binary[sizeof(in6_addr)];
    return inet_pton(family, text, binary) == 1;
}

bool is_name_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
}

// 1 to 255 letters, digits, '.', '-', '_', neither starting nor ending with '.'.
bool is_name(const char *text) {
    if (text == nullptr) return false;
    const std::size_t length = bounded_length(text, kMaxName);
    if (length == 0 || length > kMaxName) return false;
    const std::string_view name(text, length);
    if (name.front() == '.' || name.back() == '.') return false;
    for (const char c : name)
        if (!is_name_char(c)) return false;
    return true;
}

// Writes an address answer of at most IPU_MAX_ADDRESS_TEXT characters.
int answer(std::string_view address, char *buffer) {
    if (address.size() > IPU_MAX_ADDRESS_TEXT) return 0;
    std::memcpy(buffer, address.data(), address.size());
    buffer[address.size()] = '\0';
    return 1;
}

int resolve(const char *hostname, char *buffer, int family) {
    if (hostname == nullptr || buffer == nullptr || hostname[0] == '\0') return 0;
    {
        std::lock_guard lock(g_mutex);
        if (g_hosts) {
            // Only the listed names resolve; an address stands for itself.
            const char *address = nullptr;
            std::array<char, kMaxName + 1> key;
            if (is_address(hostname, AF_INET) || is_address(hostname, AF_INET6)) {
                address = hostname;
            } else if (const auto name = folded(hostname, key)) {
                if (const auto found = g_hosts->find(*name); found != g_hosts->end()) address = found->second.c_str();
            }
            if (address == nullptr || address[0] == '\0') return 0;
            if (family == AF_INET && !is_address(address, AF_INET)) return 0;
            return answer(std::string_view(address, bounded_length(address, IPU_MAX_ADDRESS_TEXT)), buffer);
        }
    }
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    if (getaddrinfo(hostname, nullptr, &hints, &list) != 0) return 0;
    int result = 0;
    for (const addrinfo *a = list; a != nullptr && result == 0; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void *where = nullptr;
        if (a->ai_family == AF_INET)
            where = &reinterpret_cast<const sockaddr_in *>(a->ai_addr)->sin_addr;
        else if (a->ai_family == AF_INET6)
            where = &reinterpret_cast<const sockaddr_in6 *>(a->ai_addr)->sin6_addr;
        if (where != nullptr && inet_ntop(a->ai_family, where, text, sizeof text) != nullptr)
            result = answer(text, buffer);
    }
    freeaddrinfo(list);
    return result;
}

}  // namespace

void hosts_set(std::optional<std::map<std::string, std::string>> hosts) {
    std::optional<HostTable> index;
    if (hosts) {
        index.emplace(hosts->size());
        for (auto &[name, address] : *hosts) (*index)[folded(name)] = std::move(address);
    }
    std::lock_guard lock(g_mutex);
    g_hosts = std::move(index);
}

void brackets_set_fail(bool fail) {
    std::lock_guard lock(g_mutex);
    g_brackets_fail = fail;
}

namespace detail {

void reset_ip_utils() {
    std::lock_guard lock(g_mutex);
    g_hosts.reset();
    g_brackets_fail = false;
}

}  // namespace detail

}  // namespace host

int is_it_an_IP_address(const char *text) {
    return host::is_address(text, AF_INET) || host::is_address(text, AF_INET6) ? 1 : 0;
}

int ipu_is_this_an_IPv6_address(const char *text) { return host::is_address(text, AF_INET6) ? 1 : 0; }

char *ipu_put_brackets_around_ipv6_address(const char *text) {
    if (text == nullptr) return nullptr;
    {
        std::lock_guard lock(host::g_mutex);
        if (host::g_brackets_fail) return nullptr;
    }
    const std::size_t length = std::strlen(text);
    char *bracketed = static_cast<char *>(std::malloc(length + 3));
    if (bracketed == nullptr) return nullptr;
    bracketed[0] = '[';
    std::memcpy(bracketed + 1, text, length);
    bracketed[length + 1] = ']';
    bracketed[length + 2] = '\0';
    return bracketed;
}

int ipu_check_domain_name(const char *text) { return host::is_name(text) ? 1 : 0; }

int ipu_check_realm(const char *text) { return host::is_name(text) ? 1 : 0; }

int get_ip_from_hostname(const char *hostname, char *buffer) { return host::resolve(hostname, buffer, AF_UNSPEC); }

int get_ipv4_from_DNS(const char *hostname, char *buffer) { return host::resolve(hostname, buffer, AF_INET); }
