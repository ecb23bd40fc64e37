// Text and output helpers, the attribute readers, and the hand-off of a
// user's domain or realm from a calling service.
#include "tavrel/general_utilities.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "attr_reader.h"
#include "file_output.h"
#include "ip_utils.h"
#include "log.h"
#include "tavrel/kerberos_data.h"
#include "tavrel/samba_data.h"
#include "tavrel/samba_utilities.h"
#include "text.h"

namespace {
constexpr char kLogSource[] = "general_utilities";

using tavrel::AttrReadMessages;
using tavrel::AttrRecord;
using tavrel::checked;
using tavrel::read_attr;
using tavrel::refuse_null_output;

constexpr uint32_t kPortMax = 65535;

// Longest texts the readers hand out, without the NUL.
constexpr std::size_t kRealmMax = TAVREL_REALM_SIZE - 1;
constexpr std::size_t kRealmMin = 3;
constexpr std::size_t kSharenameMax = TAVREL_SHARENAME_SIZE - 1;
constexpr std::size_t kDnsNameMax = TAVREL_DNS_NAME_SIZE - 1;
static_assert(TAVREL_IP_ADDRESS_SIZE > IPU_MAX_ADDRESS_TEXT, "room for every accepted address");

// A host name (or an address given as one: fe80::5%eth0, a NetBIOS name such
// as SCAN$) may hold any byte but those that would split its line: a blank
// or a control character, or a final backslash that continues it.
constexpr bool is_usable_host_name(std::string_view name) {
    return !tavrel::has_blank_or_control(name) && !name.ends_with('\\');
}

constexpr AttrReadMessages kRealmRead = checked({
    .source = kLogSource,
    .name = "get_realm_from_dstore",
    .type = SVCMON_TYPE_TEXT,
    .announce = "Getting SvcMon entry [%d] for the realm",
    .error_type = "%s - Error retrieving realm from data store, SvcMon Code: %d",
    .invalid_type = "%s - Invalid type returned for REALM from SvcMon_GetAttr",
});
constexpr AttrReadMessages kProtocolRead = checked({
    .source = kLogSource,
    .name = "get_filingProtocol_from_dstore",
    .type = SVCMON_TYPE_INTEGER,
    .announce = "Getting SvcMon entry [%d] for the protocol used",
    .error_type = "%s - Error retrieving protocol, SvcMon Code: %d",
    .invalid_type = "%s - Invalid type returned from SvcMon_GetAttr for attribute %d",
});
constexpr AttrReadMessages kPortRead = checked({
    .source = kLogSource,
    .name = "get_port_from_dstore",
    .type = SVCMON_TYPE_ADDRESS,
    .announce = "Getting SvcMon entry [%d] for the port number",
    .error_type = "%s - Error retrieving Port Number, SvcMon Code: %d",
    .invalid_type = "%s - Invalid type returned from SvcMon_GetAttr for attribute %d",
});
constexpr AttrReadMessages kSharenameRead = checked({
    .source = kLogSource,
    .name = "get_sharename_from_dstore",
    .type = SVCMON_TYPE_TEXT,
    .announce = "Getting SvcMon entry [%d] for the sharename",
    .error_type = "%s - Error retrieving sharename , SvcMon Code: %d",
    .invalid_type = "%s - Invalid type returned from SvcMon_GetAttr for attribute %d",
});
constexpr AttrReadMessages kDnsNameRead = checked({
    .source = kLogSource,
    .name = "get_dns_name_from_dstore",
    .type = SVCMON_TYPE_TEXT,
    .announce = "Getting SvcMon entry [%d] for the DNS Name",
    .error_type = "%s - Error retrieving DNS name, SvcMon Code: %d",
    .invalid_type = "%s - Invalid type returned from SvcMon_GetAttrfor attribute %d",
});
constexpr AttrReadMessages kAddressRead = checked({
    .source = kLogSource,
    .name = "get_just_the_ip_address_from_dstore",
    .type = SVCMON_TYPE_ADDRESS,
    .error_type = "%s - Error retrieving IP Address/Port Number, SvcMon Code: %d",
    .invalid_type = "%s - Invalid type returned from SvcMon_GetAttr for attribute %d",
});
constexpr AttrReadMessages kAddressPortRead = checked({
    .source = kLogSource,
    .name = "get_ip_address_from_dstore",
    .type = SVCMON_TYPE_ADDRESS,
    .announce = "Getting SvcMon entry [%d] for the IP address",
    .error_type = "%s - Error retrieving IP Address/Port Number, SvcMon Code: %d",
    .invalid_type = "%s - Invalid type returned from SvcMon_GetAttr for attribute %d",
});

}  // namespace

// ---- Text and output helpers ----------------------------------------------

void string_replace(char *text, char from, char to) {
    if (!text) return;
    for (char *c = text; *c != '\0'; ++c)
        if (*c == from) *c = to;
}

void write_out_port_value(FILE *stream, uint32_t port) {
    // 65535 is reserved and never written.
    if (!stream || port < 1 || port > kPortMax - 1) return;
    std::array<char, 12> digits;
    const std::string_view number = tavrel::decimal(port, digits);
    tavrel::write_text(stream, ":", 1);
    tavrel::write_text(stream, number.data(), number.size());
}

void upcase(char *text) {
    if (!text) return;
    // ASCII letters directly (toupper's answer for them in the C locale the
    // library runs in); any other byte as toupper has it.
    for (char *c = text; *c != '\0'; ++c) {
        if (*c >= 'a' && *c <= 'z')
            *c = static_cast<char>(*c - 'a' + 'A');
        else if (static_cast<unsigned char>(*c) >= 0x80)
            *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
    }
}

void set_config_update_needed(void) {
    TLOG(logSpecForceInfo, "[%s] is Depreciated, do not use it!!", "set_config_update_needed");
}

int config_update_needed(void) {
    TLOG(logSpecForceInfo, "[%s] is Depreciated, do not use it!!", "config_update_needed");
    return 1;
}

// ---- Attribute readers --------------------------------------------------------

int get_realm_from_dstore(char *realm, int32_t attrId) {
    if (refuse_null_output(kRealmRead, realm)) return 0;
    const AttrRecord record = read_attr(kRealmRead, attrId);
    if (!record) return 0;

    const std::string_view value = record.text();
    if (value.empty()) {
        realm[0] = '\0';
        return 1;
    }
    // A blank or control character would split the realm's krb5.conf line.
    if (value.size() < kRealmMin || value.size() > kRealmMax || tavrel::has_blank_or_control(value)) {
        TLOG(logSpecError, "%s - Realm is syntactically incorrect", kRealmRead.name);
        return 0;
    }
    tavrel::copy_text(std::span<char>(realm, TAVREL_REALM_SIZE), value);
    upcase(realm);
    return 1;
}

int get_filingProtocol_from_dstore(int32_t *protocol, int32_t attrId) {
    if (refuse_null_output(kProtocolRead, protocol)) return 0;
    const AttrRecord record = read_attr(kProtocolRead, attrId);
    if (!record) return 0;

    *protocol = record.integer();
    TLOG(logSpecLibInfo, "%s - Filing Protocol for (%i) is (%d)", kProtocolRead.name, attrId, *protocol);
    return 1;
}

int get_port_from_dstore(char *port, int32_t attrId) {
    if (refuse_null_output(kPortRead, port)) return 0;
    const AttrRecord record = read_attr(kPortRead, attrId);
    if (!record) return 0;

    const uint32_t value = record.port();
    if (value > kPortMax) {
        port[0] = '\0';
        TLOG(logSpecLibInfo, "%s - Invalid port number: %u", kPortRead.name, value);
        return 0;
    }
    TLOG(logSpecLibInfo, "%s - Port Val for (%i) is (%u)", kPortRead.name, attrId, value);
    std::array<char, 12> digits;
    tavrel::copy_text(std::span<char>(port, TAVREL_PORT_TEXT_SIZE), tavrel::decimal(value, digits));
    return 1;
}

int get_sharename_from_dstore(char *sharename, int32_t attrId) {
    if (refuse_null_output(kSharenameRead, sharename)) return 0;
    const AttrRecord record = read_attr(kSharenameRead, attrId);
    if (!record) return 0;

    const std::string_view value = record.text();
    if (value.empty()) {
        sharename[0] = '\0';
        TLOG(logSpecLibInfo, "%s - sharename is undefined for (%i).", kSharenameRead.name, attrId);
        return 1;
    }
    if (value.size() > kSharenameMax) {
        TLOG(logSpecError, "%s - sharename is too long.", kSharenameRead.name);
        sharename[0] = '\0';
        return 0;
    }
    if (tavrel::has_control(value)) {
        TLOG(logSpecError, "%s - sharename holds a control character.", kSharenameRead.name);
        sharename[0] = '\0';
        return 0;
    }
    tavrel::copy_text(std::span<char>(sharename, TAVREL_SHARENAME_SIZE), value);
    TLOG(logSpecLibInfo, "%s - Sharename for (%i) is (%s)", kSharenameRead.name, attrId, sharename);
    return 1;
}

int get_dns_name_from_dstore(char *dns_name, int32_t attrId) {
    if (refuse_null_output(kDnsNameRead, dns_name)) return 0;
    const AttrRecord record = read_attr(kDnsNameRead, attrId);
    if (!record) return 0;

    const std::string_view value = record.text();
    if (value.empty()) {
        dns_name[0] = '\0';
        TLOG(logSpecLibInfo, "%s - DNS name is undefined.", kDnsNameRead.name);
        return 1;
    }
    if (value.size() > kDnsNameMax) {
        TLOG(logSpecError, "%s - DNS name is too long.", kDnsNameRead.name);
        dns_name[0] = '\0';
        return 0;
    }
    if (!is_usable_host_name(value)) {
        TLOG(logSpecError, "%s - DNS name holds an invalid character.", kDnsNameRead.name);
        dns_name[0] = '\0';
        return 0;
    }
    tavrel::copy_text(std::span<char>(dns_name, TAVREL_DNS_NAME_SIZE), value);
    TLOG(logSpecLibInfo, "%s - DNS Name for (%i) is (%s)", kDnsNameRead.name, attrId, dns_name);
    return 1;
}

int get_just_the_ip_address_from_dstore(char *address, int32_t attrId) {
    if (refuse_null_output(kAddressRead, address)) return 0;
    const AttrRecord record = read_attr(kAddressRead, attrId);
    if (!record) return 0;

    const std::string_view value = record.text();
    if (is_it_an_IP_address(value.data()) != 1 ||
        !tavrel::copy_text(std::span<char>(address, TAVREL_IP_ADDRESS_SIZE), value)) {
        TLOG(logSpecError, "%s - IP Address is syntactically incorrect", kAddressRead.name);
        return 0;
    }
    TLOG(logSpecLibInfo, "%s - IP Address for (%i) is (%s)", kAddressRead.name, attrId, address);
    return 1;
}

namespace {

// The address as written with its port: an IPv6 address in brackets. Built
// whole before anything reaches the caller's buffer, so a value that would not
// fit is refused instead of overrunning it.
struct AddressWithPort {
    std::array<char, TAVREL_IP_ADDRESS_PORT_SIZE> text{};
    bool ipv6 = false;
};

std::optional<AddressWithPort> build_address_with_port(std::string_view address, uint32_t port) {
    if (tavrel::has_blank_or_control(address)) return std::nullopt;
    AddressWithPort built;
    if (!tavrel::copy_text(built.text, address)) return std::nullopt;
    if (port > kPortMax) return built;  // never completed: the port is refused

    built.ipv6 = ipu_is_this_an_IPv6_address(built.text.data()) == 1;
    if (built.ipv6) {
        char *bracketed = ipu_put_brackets_around_ipv6_address(built.text.data());
        if (bracketed) {
            const bool fits = tavrel::copy_text(built.text, tavrel::view(bracketed));
            std::free(bracketed);
            if (!fits) return std::nullopt;
        }
    }
    std::array<char, 12> digits;
    const std::size_t address_length = tavrel::bounded_length(built.text.data(), built.text.size());
    // Measured as the fixed 8-byte port text held it: a port past 65535 is
    // refused as such later, not as an address that does not fit.
    const std::size_t port_length = std::min<std::size_t>(1 + tavrel::decimal(port, digits).size(), 7);
    if (address_length + port_length >= built.text.size()) return std::nullopt;
    return built;
}

}  // namespace

int get_ip_address_from_dstore(char *address, int32_t attrId) {
    if (refuse_null_output(kAddressPortRead, address)) return 0;
    const AttrRecord record = read_attr(kAddressPortRead, attrId);
    if (!record) return 0;

    const std::span<char> out(address, TAVREL_IP_ADDRESS_PORT_SIZE);
    const std::string_view value = record.text();
    if (value.empty()) {
        out[0] = '\0';
        TLOG(logSpecLibInfo, "%s - IP addr for (%i) is NULL", kAddressPortRead.name, attrId);
        return 1;
    }
    const uint32_t port = record.port();
    std::optional<AddressWithPort> built = build_address_with_port(value, port);
    if (!built) {
        TLOG(logSpecError, "%s - IP Address is syntactically incorrect", kAddressPortRead.name);
        return 0;
    }
    // A text that fails the address check is still used (a host name here
    // is the service's business), but the log says so.
    if (is_it_an_IP_address(value.data()) == 1) {
        tavrel::copy_text(out, value);
        TLOG(logSpecLibInfo, "%s - IP Address for (%i) is (%s)", kAddressPortRead.name, attrId, address);
    } else {
        TLOG(logSpecError, "%s - IP Address is syntactically incorrect", kAddressPortRead.name);
    }
    if (port > kPortMax) {
        TLOG(logSpecError, "%s - Invalid port number: %u", kAddressPortRead.name, port);
        return 0;
    }
    if (built->ipv6) TLOG(logSpecDebug, "New IPv6 address is [%s]", built->text.data());
    std::array<char, 12> digits;
    tavrel::append_text(built->text, ":");
    tavrel::append_text(built->text, tavrel::decimal(port, digits));
    tavrel::copy_text(out, built->text.data());
    TLOG(logSpecLibInfo, "%s - IP Address for (%i) is (%s)", kAddressPortRead.name, attrId, address);
    return 1;
}

// ---- Hand-off of a user's domain or realm -------------------------------------------

namespace {

constexpr std::size_t kRequestMax = 774;
constexpr std::size_t kUserNameMax = 256;
constexpr std::size_t kNameMin = 2;
constexpr std::size_t kNameMax = 255;
// Read only to learn that a default is configured.
constexpr int32_t kDefaultRealmAttribute = 36;
constexpr int32_t kDefaultDomainAttribute = 78;

// The fields of a request: the runs of characters between line feeds. The
// position belongs to the splitter, so two hand-offs never disturb each other.
class LineFields {
public:
    explicit LineFields(std::string_view text) : rest_(text) {}
    std::optional<std::string_view> next() {
        const std::size_t start = rest_.find_first_not_of('\n');
        if (start == std::string_view::npos) return std::nullopt;
        rest_.remove_prefix(start);
        const std::string_view field = rest_.substr(0, rest_.find('\n'));
        rest_.remove_prefix(field.size());
        return field;
    }

private:
    std::string_view rest_;
};

struct Request {
    std::array<char, kRequestMax + 1> text{};
    std::size_t length = 0;
};

bool rewind_descriptor(int fd, const char *protocol) {
    if (lseek(fd, 0, SEEK_SET) >= 0) return true;
    TLOG(logSpecWarn, "A problem occurred while reseting the FD for %s", protocol);
    return false;
}

ssize_t read_retrying(int fd, void *buffer, std::size_t count) {
    ssize_t got;
    do {
        got = read(fd, buffer, count);
    } while (got < 0 && errno == EINTR);
    return got;
}

// Steps common to both protocols: check the descriptor, rewind it and read
// at most kRequestMax bytes. False (logged) when the request cannot be used.
bool read_request(int fd, const char *protocol, Request &request) {
    if (fd < 0 || fcntl(fd, F_GETFD) == -1) {
        TLOG(logSpecWarn, "bad FD retrieved from IPC message for %s", protocol);
        return false;
    }
    if (!rewind_descriptor(fd, protocol)) return false;

    ssize_t last = 0;
    while (request.length < kRequestMax) {
        last = read_retrying(fd, request.text.data() + request.length, kRequestMax - request.length);
        if (last <= 0) break;
        request.length += static_cast<std::size_t>(last);
    }
    if (request.length == kRequestMax) {
        char extra;
        if (read_retrying(fd, &extra, 1) != 0) {
            TLOG(logSpecWarn, "More bytes on IPC fd then expected for %s", protocol);
            return false;
        }
    }
    if (last < 0) {
        TLOG(logSpecWarn, "Error occurred while trying to read from fd for %s", protocol);
        return false;
    }
    request.text[request.length] = '\0';
    return true;
}

// The user name must be there and fit; the name after it is returned (or
// nothing when the request has none).
bool split_request(const Request &request, const char *protocol, std::optional<std::string_view> &name) {
    // The text ends at the first NUL, if any came.
    LineFields fields(tavrel::view(request.text.data()));
    const std::optional<std::string_view> user = fields.next();
    if (!user || user->size() > kUserNameMax) {
        TLOG(logSpecWarn, "Couldn't retrieve request username for %s", protocol);
        return false;
    }
    name = fields.next();
    return true;
}

bool usable_name(std::string_view name) { return name.size() >= kNameMin && name.size() <= kNameMax; }

int handle_kerberos_request(int fd) {
    constexpr char kProtocol[] = "Kerberos";
    Request request;
    std::optional<std::string_view> realm;
    if (!read_request(fd, kProtocol, request) || !split_request(request, kProtocol, realm)) return 0;

    if (!realm) {
        TLOG(logSpecForceInfo, "A null realm was passed in by user for Kerberos");
    } else if (usable_name(*realm)) {
        std::array<char, kNameMax + 1> text{};
        tavrel::copy_text(text, *realm);
        if (sm_compare_current_realm_name(text.data()) == 0) sm_set_new_realm_name(text.data());
    } else {
        sm_set_new_realm_name(TAVREL_NO_NAME);
        std::array<char, TAVREL_REALM_SIZE> scratch{};
        if (get_realm_from_dstore(scratch.data(), kDefaultRealmAttribute) == 0)
            TLOG(logSpecForceInfo, "Could not get the default realm for Kerberos");
    }
    return rewind_descriptor(fd, kProtocol) ? 1 : 0;
}

}  // namespace

int handle_kerberos_info_from_caller(int fd) {
    constexpr char kName[] = "handle_kerberos_info_from_caller";
    TLOG_ENTER(kName);
    const int result = handle_kerberos_request(fd);
    TLOG_RETURN(kName);
    return result;
}

int handle_smb_info_from_caller(int fd) {
    constexpr char kProtocol[] = "SMB";
    Request request;
    std::optional<std::string_view> domain;
    if (!read_request(fd, kProtocol, request) || !split_request(request, kProtocol, domain)) return 0;

    if (domain && usable_name(*domain)) {
        std::array<char, kNameMax + 1> text{};
        tavrel::copy_text(text, *domain);
        if (sm_compare_current_domain_name(text.data()) == 0) sm_set_new_domain_name(text.data());
        return rewind_descriptor(fd, kProtocol) ? 1 : 0;
    }

    // Missing or unusable: no domain is asked for; only check that a default
    // is configured.
    sm_set_new_domain_name(TAVREL_NO_NAME);
    std::array<char, TAVREL_NT_DOMAIN_SIZE> scratch{};
    if (get_nt_domain_from_dstore(scratch.data(), kDefaultDomainAttribute) == 0)
        TLOG(logSpecForceInfo, "Could not get the default NT Domain for SMB");
    if (domain) {
        TLOG(logSpecWarn, "Couldn't retrieve domain for SMB from user");
        return 0;
    }
    TLOG(logSpecForceInfo, "A null domain was passed in by user for SMB");
    return rewind_descriptor(fd, kProtocol) ? 1 : 0;
}
