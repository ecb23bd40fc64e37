// Reads a settings snapshot (TOML) into host::Settings, checking every table
// and key as it goes, so a typo or a value that does not fit its field is an
// error that names its place, never a silent truncation. The TOML parser is
// confined to this file: it is slow to compile.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <cstdio>
#include <limits>
#include <set>
#include <sstream>
#include <toml++/toml.h>

#include "settings.h"

namespace host {

namespace {

// Every number is taken as a 32-bit value, signed or unsigned.
constexpr int64_t kMinNumber = std::numeric_limits<int32_t>::min();
constexpr int64_t kMaxNumber = std::numeric_limits<uint32_t>::max();

constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();
// Fixed-size fields of the Kerberos server record, without their NUL.
constexpr std::size_t kKrbNameMax = 255;
constexpr std::size_t kKrbAddressMax = 39;
// The network configuration record holds 268 bytes of text.
constexpr std::size_t kNetworkTextMax = 267;
// Rows of the service tables.
constexpr std::size_t kSmbAuthServices = 9;
constexpr std::size_t kFilingServices = 6;
constexpr std::size_t kKerberosServices = 9;

class Loader {
public:
    explicit Loader(std::string file) : file_(std::move(file)) {}

    [[noreturn]] void fail(const toml::source_region &where, const std::string &message) const {
        std::ostringstream text;
        text << file_ << ':' << where.begin.line << ':' << where.begin.column << ": " << message;
        throw SettingsError(text.str());
    }

private:
    std::string file_;
};

// Where a node stands; a table made implicitly by a dotted header has no
// place of its own, so the parent's is used.
const toml::source_region &place(const toml::node &node, const toml::source_region &fallback) {
    return node.source().begin.line != 0 ? node.source() : fallback;
}

bool in_number_range(int64_t value) { return value >= kMinNumber && value <= kMaxNumber; }

// The keys of one table: each known key is read once; finish() refuses the rest.
class Fields {
public:
    Fields(const Loader &loader, const toml::table &table, std::string name, const toml::source_region &fallback)
        : loader_(loader), table_(table), name_(std::move(name)), where_(place(table, fallback)) {}

    const toml::source_region &where() const { return where_; }
    const toml::table &table_node() const { return table_; }
    const Loader &loader() const { return loader_; }
    const std::string &name() const { return name_; }

    const toml::node *find(std::string_view key) {
        used_.insert(std::string(key));
        return table_.get(key);
    }

    [[noreturn]] void fail(const toml::node &node, std::string_view key, const std::string &message) const {
        const std::string field = name_.empty() ? std::string(key) : name_ + " " + std::string(key);
        loader_.fail(place(node, where_), field + ": " + message);
    }

    Text text(std::string_view key, std::size_t max = kNoLimit) {
        const toml::node *node = find(key);
        if (node == nullptr) return std::nullopt;
        const auto *value = node->as_string();
        if (value == nullptr) fail(*node, key, "expected a text");
        const std::string &text = value->get();
        if (text.size() > max) fail(*node, key, "longer than " + std::to_string(max) + " characters");
        return text;
    }

    std::optional<int64_t> number(std::string_view key) {
        const toml::node *node = find(key);
        if (node == nullptr) return std::nullopt;
        return checked_number(*node, key);
    }

    int64_t checked_number(const toml::node &node, std::string_view key) const {
        const auto *value = node.as_integer();
        if (value == nullptr) fail(node, key, "expected a whole number");
        if (!in_number_range(value->get()))
            fail(node, key, std::to_string(value->get()) + " is outside -2147483648 to 4294967295");
        return value->get();
    }

    std::optional<int32_t> int32(std::string_view key) {
        const auto n = number(key);
        if (!n) return std::nullopt;
        return static_cast<int32_t>(static_cast<uint32_t>(*n));
    }

    std::optional<uint32_t> uint32(std::string_view key) {
        const auto n = number(key);
        if (!n) return std::nullopt;
        return static_cast<uint32_t>(*n);
    }

    std::optional<bool> boolean(std::string_view key) {
        const toml::node *node = find(key);
        if (node == nullptr) return std::nullopt;
        const auto *value = node->as_boolean();
        if (value == nullptr) fail(*node, key, "expected true or false");
        return value->get();
    }

    const toml::table *table(std::string_view key) {
        const toml::node *node = find(key);
        if (node == nullptr) return nullptr;
        const toml::table *t = node->as_table();
        if (t == nullptr) fail(*node, key, "expected a table");
        return t;
    }

    // [[key]] tables, at most `max` of them.
    std::vector<const toml::table *> tables(std::string_view key, std::size_t max) {
        std::vector<const toml::table *> out;
        const toml::node *node = find(key);
        if (node == nullptr) return out;
        const toml::array *array = node->as_array();
        if (array == nullptr) fail(*node, key, "expected [[" + qualified(key) + "]] tables");
        for (const toml::node &element : *array) {
            const toml::table *t = element.as_table();
            if (t == nullptr) fail(element, key, "expected [[" + qualified(key) + "]] tables");
            if (out.size() == max)
                loader_.fail(place(element, where_),
                             "[[" + qualified(key) + "]]: more than " + std::to_string(max) + " services");
            out.push_back(t);
        }
        return out;
    }

    void finish() const {
        for (const auto &[key, node] : table_) {
            if (used_.count(std::string(key.str())) != 0) continue;
            const std::string name = qualified(key.str());
            const toml::source_region &at = key.source().begin.line != 0 ? key.source() : where_;
            if (node.is_table()) loader_.fail(at, "unknown table [" + name + "]");
            if (node.is_array_of_tables()) loader_.fail(at, "unknown table [[" + name + "]]");
            loader_.fail(at, "unknown key '" + std::string(key.str()) + "'" + (name_.empty() ? "" : " in " + name_));
        }
    }

    // Table path for messages: "smb.auth" from [smb] and "auth".
    std::string qualified(std::string_view key) const {
        return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
    }
    void set_path(std::string path) { path_ = std::move(path); }

private:
    const Loader &loader_;
    const toml::table &table_;
    std::string name_;  // "[network]", "[[filing]]", ...: prefix of messages
    std::string path_;  // dotted table path, for nested table names
    toml::source_region where_;
    std::set<std::string> used_;
};

// Reads a sub-table and refuses its unknown keys when done.
template <typename F>
void with_table(Fields &parent, const toml::table &table, const std::string &name, const std::string &path, F &&read) {
    Fields fields(parent.loader(), table, name, parent.where());
    fields.set_path(path);
    read(fields);
    fields.finish();
}

bool is_ip_address(const std::string &text) {
    unsigned char binary[sizeof(in6_addr)];
    return inet_pton(AF_INET, text.c_str(), binary) == 1 || inet_pton(AF_INET6, text.c_str(), binary) == 1;
}

void read_network(Fields &f, Settings &s) {
    s.has_network = true;
    s.network_address = f.text("address", kNetworkTextMax);
    s.network_netmask = f.text("netmask", kNetworkTextMax);
}

void read_platform(Fields &f, Settings &s) {
    s.fips = f.boolean("fips");
    if (const toml::table *hosts = f.table("hosts")) {
        std::map<std::string, std::string> map;
        for (const auto &[name, node] : *hosts) {
            const auto *address = node.as_string();
            const std::string key = "hosts." + std::string(name.str());
            if (address == nullptr) f.fail(node, key, "expected an address text");
            if (!is_ip_address(address->get())) f.fail(node, key, "'" + address->get() + "' is not an IP address");
            map[std::string(name.str())] = address->get();
        }
        s.hosts = std::move(map);
    }
}

void read_smb(Fields &f, Settings &s) {
    s.has_smb = true;
    s.smb_method = f.text("method");
    for (const toml::table *t : f.tables("auth", kSmbAuthServices))
        with_table(f, *t, "[[smb.auth]]", "smb.auth", [&](Fields &g) {
            SmbAuthService service;
            service.domain = g.text("domain");
            service.address = g.text("address");
            service.hostname = g.text("hostname");
            s.smb_auth.push_back(service);
        });
}

void read_filing(Fields &g, Settings &s) {
    FilingService service;
    service.server = g.text("server");
    service.protocol = g.int32("protocol");
    service.port = g.uint32("port");
    service.share = g.text("share");
    s.filing.push_back(service);
}

void read_kerberos(Fields &g, Settings &s) {
    KerberosService service;
    service.realm = g.text("realm");
    service.kdc = g.text("kdc");
    service.kdc_address = g.text("kdc_address");
    service.kdc_port = g.uint32("kdc_port");
    service.backup_kdc = g.text("backup_kdc");
    service.backup_kdc_address = g.text("backup_kdc_address");
    service.backup_kdc_port = g.uint32("backup_kdc_port");
    s.kerberos.push_back(service);
}

// A raw record written in full: type, value, port, id; or the short forms
// address (+ port) and error. Where type is left out it follows from the rest.
RawAttr read_raw_table(Fields &f) {
    RawAttr attr;
    const auto type = f.int32("type");
    const toml::node *value = f.find("value");
    const Text address = f.text("address");
    const auto error = f.int32("error");
    const auto port = f.uint32("port");
    const auto id = f.int32("id");
    if ((value != nullptr) + address.has_value() + error.has_value() > 1)
        f.loader().fail(f.where(), f.name() + ": give only one of value, address and error");
    const auto require = [&](bool ok, const std::string &message) {
        if (!ok) f.loader().fail(f.where(), f.name() + ": " + message);
    };
    const auto is_text_type = [](int32_t t) { return t == 0 || t == 2; };
    if (address) {
        attr.type = type.value_or(2);
        require(attr.type == 2, "an address needs type 2");
        attr.text = *address;
    } else if (error) {
        attr.type = type.value_or(3);
        require(attr.type == 3, "an error code needs type 3");
        attr.integer = *error;
    } else if (value != nullptr) {
        if (const auto *text = value->as_string()) {
            attr.type = type.value_or(port ? 2 : 0);
            require(is_text_type(attr.type), "type " + std::to_string(attr.type) + " needs a number as its value");
            attr.text = text->get();
        } else if (value->is_integer()) {
            attr.type = type.value_or(1);
            require(!is_text_type(attr.type), "type " + std::to_string(attr.type) + " needs a text as its value");
            attr.integer = static_cast<int32_t>(static_cast<uint32_t>(f.checked_number(*value, "value")));
        } else {
            f.fail(*value, "value", "expected a text or a whole number");
        }
    } else {
        if (!type) f.loader().fail(f.where(), f.name() + ": needs a value, an address, an error or a type");
        attr.type = *type;
    }
    attr.port = port.value_or(0);
    attr.echo_id = id;
    return attr;
}

void read_attributes(Fields &f, const toml::table &table, Settings &s) {
    for (const auto &[key, node] : table) {
        const std::string name(key.str());
        f.find(name);
        int64_t id = 0;
        const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), id);
        if (ec != std::errc() || end != name.data() + name.size() || !in_number_range(id))
            f.loader().fail(key.source().begin.line != 0 ? key.source() : f.where(),
                            "[attributes]: '" + name + "' is not an attribute id");
        const int32_t attr_id = static_cast<int32_t>(static_cast<uint32_t>(id));
        RawAttr attr;
        if (const auto *text = node.as_string()) {
            attr.type = 0;
            attr.text = text->get();
        } else if (node.is_integer()) {
            attr.type = 1;
            attr.integer = static_cast<int32_t>(static_cast<uint32_t>(f.checked_number(node, name)));
        } else if (const toml::table *t = node.as_table()) {
            Fields g(f.loader(), *t, "[attributes] " + name, f.where());
            // A misspelt field is the likelier fault: name it first.
            for (const char *field : {"type", "value", "address", "error", "port", "id"}) g.find(field);
            g.finish();
            attr = read_raw_table(g);
        } else {
            f.fail(node, name, "expected a text, a whole number or an inline table");
        }
        s.attributes[attr_id] = std::move(attr);
    }
}

void read_config(Fields &f, const toml::table &table, Settings &s) {
    for (const auto &[key, node] : table) {
        const std::string name(key.str());
        f.find(name);
        if (const auto *b = node.as_boolean())
            s.config[name] = b->get();
        else if (node.is_integer())
            s.config[name] = f.checked_number(node, name);
        else if (const auto *text = node.as_string())
            s.config[name] = text->get();
        else
            f.fail(node, name, "expected true, false, a whole number or a text");
    }
}

void read_state(Fields &f, Settings &s) {
    State state;
    state.new_domain = f.text("new_domain");
    state.current_domain = f.text("current_domain");
    state.current_hostname = f.text("current_hostname");
    state.current_address = f.text("current_address");
    state.auth_service = f.uint32("auth_service");
    state.new_realm = f.text("new_realm");
    state.current_realm = f.text("current_realm");
    state.krb_server = f.text("krb_server");
    state.krb_address = f.text("krb_address");
    state.krb_auth_service = f.uint32("krb_auth_service");
    // The library judges these values only when the tool hands them over;
    // keep where each stands so that a refusal can name its place.
    for (const auto &[key, node] : f.table_node()) {
        const toml::source_region &where = place(node, f.where());
        state.places[std::string(key.str())] = s.file + ':' + std::to_string(where.begin.line) + ':' +
                                               std::to_string(where.begin.column);
    }
    s.state = state;
}

void read_wireless(Fields &f, Settings &s) {
    WirelessRecord r;
    r.ssid = f.text("ssid");
    r.sec_mode = f.uint32("sec_mode").value_or(0);
    r.enc_mode = f.int32("enc_mode").value_or(0);
    r.psk = f.text("psk");
    r.wep_key = f.text("wep_key");
    r.key_is_hex = f.int32("key_is_hex").value_or(0);
    s.wireless = r;
}

void read_dot1x(Fields &f, Settings &s) {
    Dot1xRecord r;
    r.interface = f.int32("interface").value_or(0);
    r.ssid = f.text("ssid");
    r.sec_mode = f.uint32("sec_mode").value_or(0);
    r.enc_mode = f.int32("enc_mode").value_or(0);
    r.eap_type = f.uint32("eap_type").value_or(0);
    r.user_name = f.text("user_name");
    r.password = f.text("password");
    r.outer_identity = f.text("outer_identity");
    r.ca_cert = f.text("ca_cert");
    r.client_cert = f.text("client_cert");
    r.private_key = f.text("private_key");
    r.private_key_passwd = f.text("private_key_passwd");
    s.dot1x = r;
}

void read_krb5_record(Fields &f, Settings &s) {
    Krb5Record r;
    r.realm = f.text("realm", kKrbNameMax);
    r.kdc_hostname = f.text("kdc_hostname", kKrbNameMax);
    r.kdc_ip_address = f.text("kdc_ip_address", kKrbAddressMax);
    r.kdc_port = f.uint32("kdc_port").value_or(0);
    r.backup_kdc_hostname = f.text("backup_kdc_hostname", kKrbNameMax);
    r.backup_kdc_ip_address = f.text("backup_kdc_ip_address", kKrbAddressMax);
    r.backup_kdc_port = f.uint32("backup_kdc_port").value_or(0);
    s.krb5_record = r;
}

void read_smartcard(Fields &f, Settings &s) {
    Smartcard r;
    r.realm = f.text("realm").value_or("");
    r.kdc = f.text("kdc").value_or("");
    r.port = f.uint32("port").value_or(0);
    r.win2k = f.boolean("win2k").value_or(false);
    s.smartcard = r;
}

void read_filing_request(Fields &f, Settings &s) {
    FilingRequest r;
    r.server = f.text("server").value_or("");
    r.path = f.text("path").value_or("");
    s.filing_request = r;
}

// "[name]", built by appending: GCC 12 at -O2 and above warns falsely
// (-Wrestrict) inside libstdc++'s inlined `"[" + std::string(...)`.
std::string table_header(std::string_view name) {
    std::string header(1, '[');
    header.append(name);
    header.push_back(']');
    return header;
}

Settings read_document(const Loader &loader, const toml::table &root, const std::string &name) {
    Settings s;
    s.file = name;
    const toml::source_region start{{1, 1}, {1, 1}, nullptr};
    Fields top(loader, root, "", start);
    using Reader = void (*)(Fields &, Settings &);
    constexpr std::pair<std::string_view, Reader> kTables[] = {
        {"network", read_network},     {"platform", read_platform},           {"smb", read_smb},
        {"state", read_state},         {"wireless", read_wireless},           {"dot1x", read_dot1x},
        {"krb5_record", read_krb5_record}, {"smartcard", read_smartcard},     {"filing_request", read_filing_request},
    };
    // The reader is copied into the lambda: clang 16's analyser loses a captured structured binding.
    for (const auto &[table_name, read] : kTables)
        if (const toml::table *t = top.table(table_name))
            with_table(top, *t, table_header(table_name), std::string(table_name),
                       [&, reader = read](Fields &f) { reader(f, s); });
    for (const toml::table *t : top.tables("filing", kFilingServices))
        with_table(top, *t, "[[filing]]", "filing", [&](Fields &f) { read_filing(f, s); });
    for (const toml::table *t : top.tables("kerberos", kKerberosServices))
        with_table(top, *t, "[[kerberos]]", "kerberos", [&](Fields &f) { read_kerberos(f, s); });
    if (const toml::table *t = top.table("attributes"))
        with_table(top, *t, "[attributes]", "attributes", [&](Fields &f) { read_attributes(f, *t, s); });
    if (const toml::table *t = top.table("config"))
        with_table(top, *t, "[config]", "config", [&](Fields &f) { read_config(f, *t, s); });
    top.finish();
    return s;
}

// toml++ 3.3 is not safe on every input that is no TOML at all: a NUL byte
// after '[' trips an assertion (an abort in Debug builds), and a non-ASCII
// character where it looks for blanks reaches code it marks unreachable
// (undefined behaviour when optimised). TOML allows a NUL byte nowhere and a
// byte above 127 only inside strings and comments, so both are refused here,
// before the parser sees the text. Two places need care:
// - A quote opens a string only where a key or a value begins. Anywhere else
//   (`port = 0'x'`) toml++ reads it as part of a bad bare value, looking for
//   the blank that ends it, and the non-ASCII check still applies.
// - In a multi-line basic string toml++ looks for blanks after a backslash,
//   and after a line-ending backslash up to the next character: a non-ASCII
//   character there is refused too (written as \uXXXX it is read fine).
class ByteCheck {
public:
    ByteCheck(const Loader &loader, std::string_view text) : loader_(loader), text_(text) {}

    void run() {
        for (i_ = 0; i_ < text_.size(); ++i_) {
            std::size_t skip = 0;  // further bytes taken with this one
            switch (in_) {
            case In::toml: skip = toml(text_[i_]); break;
            case In::comment:
                if (text_[i_] == '\n') {
                    in_ = In::toml;
                    newline();
                }
                break;
            case In::basic:
            case In::literal: skip = single_line(text_[i_]); break;
            case In::multiline_basic:
            case In::multiline_literal: skip = multi_line(text_[i_]); break;
            }
            advance(skip);
        }
    }

private:
    enum class In { toml, comment, basic, literal, multiline_basic, multiline_literal };

    static bool non_ascii(char c) { return static_cast<unsigned char>(c) > 127; }
    static bool blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

    [[noreturn]] void fail(const std::string &message) const {
        loader_.fail(toml::source_region{at_, at_, nullptr}, message);
    }
    bool starts(std::string_view what) const { return text_.substr(i_, what.size()) == what; }
    char top() const { return open_.empty() ? '\0' : open_.back(); }

    void newline() {
        // Arrays may span lines; anything else ends with its line.
        if (top() == '[') return;
        open_.clear();
        key_ = line_start_ = true;
        value_start_ = false;
    }

    // One byte outside strings and comments; returns the further bytes it takes.
    std::size_t toml(char c) {
        if (non_ascii(c)) fail("a non-ASCII character outside a string or comment");
        if (blank(c)) return 0;
        const char prev = i_ > 0 ? text_[i_ - 1] : '\n';
        const bool line_start = line_start_;
        line_start_ = false;
        switch (c) {
        case '\n': newline(); return 0;
        case '#': in_ = In::comment; return 0;
        case '"':
        case '\'': {
            if (!key_ && !value_start_) break;  // inside a bad bare value
            value_start_ = false;
            const bool basic = c == '"';
            if (starts(basic ? R"(""")" : "'''")) {
                in_ = basic ? In::multiline_basic : In::multiline_literal;
                return 2;
            }
            in_ = basic ? In::basic : In::literal;
            return 0;
        }
        case '=':
            if (!key_ || top() == 'h') break;
            key_ = false;
            value_start_ = true;
            return 0;
        case '[':
            if (key_ && line_start) {
                open_.push_back('h');  // a table header
                return 0;
            }
            if (top() == 'h' && prev == '[') return 0;  // [[array of tables]]
            if (!value_start_) break;
            open_.push_back('[');
            return 0;
        case ']':
            if (top() == 'h' || top() == '[') {
                open_.pop_back();
                key_ = value_start_ = false;
                return 0;
            }
            if (prev == ']') return 0;
            break;
        case '{':
            if (!value_start_) break;
            open_.push_back('{');
            key_ = true;
            value_start_ = false;
            return 0;
        case '}':
            if (top() != '{') break;
            open_.pop_back();
            key_ = value_start_ = false;
            return 0;
        case ',':
            if (top() == '[') {
                value_start_ = true;
                return 0;
            }
            if (top() != '{') break;
            key_ = true;
            value_start_ = false;
            return 0;
        default: break;
        }
        value_start_ = false;  // a bare key or value goes on
        return 0;
    }

    // A string ends at its quote, or (unfinished, which the parser reports)
    // at the end of its line.
    std::size_t single_line(char c) {
        const bool basic = in_ == In::basic;
        if (c == '\n' || c == (basic ? '"' : '\'')) {
            in_ = In::toml;
            if (c == '\n') newline();
            return 0;
        }
        return basic && c == '\\' && i_ + 1 < text_.size() && text_[i_ + 1] != '\n' ? 1 : 0;
    }

    std::size_t multi_line(char c) {
        const char quote = in_ == In::multiline_basic ? '"' : '\'';
        if (in_ == In::multiline_basic && c == '\\') {
            check_after_backslash();
            return 1;
        }
        // Up to two quotes before the closing three belong to the string.
        std::size_t quotes = 0;
        while (quotes < 5 && i_ + quotes < text_.size() && text_[i_ + quotes] == quote) ++quotes;
        if (quotes < 3) return 0;
        in_ = In::toml;
        return quotes - 1;
    }

    void check_after_backslash() const {
        std::size_t j = i_ + 1;
        while (j < text_.size() && blank(text_[j])) ++j;
        if (j < text_.size() && text_[j] == '\n')
            while (j < text_.size() && (blank(text_[j]) || text_[j] == '\n')) ++j;
        if (j < text_.size() && non_ascii(text_[j]))
            fail("a non-ASCII character after a backslash (write it as \\uXXXX)");
    }

    // Takes this byte and `skip` more, counting lines and columns.
    void advance(std::size_t skip) {
        for (std::size_t k = 0; k <= skip && i_ < text_.size(); ++k) {
            const auto byte = static_cast<unsigned char>(text_[i_]);
            if (byte == '\0') fail("a NUL byte");
            if (byte == '\n') {
                ++at_.line;
                at_.column = 1;
            } else if ((byte & 0xc0) != 0x80) {
                ++at_.column;  // columns count characters, not the bytes of one
            }
            if (k < skip) ++i_;
        }
    }

    const Loader &loader_;
    std::string_view text_;
    std::size_t i_ = 0;
    toml::source_position at_{1, 1};
    In in_ = In::toml;
    std::string open_;          // open headers ('h'), arrays and inline tables
    bool key_ = true;           // a key may begin or go on here
    bool value_start_ = false;  // only blanks since a value began
    bool line_start_ = true;
};

// Texts reach the platform services as C strings: a NUL inside one (written
// as \u0000) would hand them a different, shorter text.
void refuse_nul(const Loader &loader, const toml::node &node, const toml::source_region &fallback) {
    const toml::source_region &where = place(node, fallback);
    if (const toml::table *table = node.as_table()) {
        for (const auto &[key, value] : *table) {
            if (key.str().find('\0') != std::string_view::npos)
                loader.fail(key.source().begin.line != 0 ? key.source() : where, "a key holds a NUL character");
            refuse_nul(loader, value, where);
        }
    } else if (const toml::array *array = node.as_array()) {
        for (const toml::node &element : *array) refuse_nul(loader, element, where);
    } else if (const auto *text = node.as_string(); text && text->get().find('\0') != std::string::npos) {
        loader.fail(where, "a text holds a NUL character");
    }
}

}  // namespace

Settings load_settings_text(const std::string &text, const std::string &name) {
    const Loader loader(name);
    ByteCheck(loader, text).run();
    toml::table root;
    try {
        root = toml::parse(text, name);
    } catch (const toml::parse_error &error) {
        loader.fail(error.source(), std::string(error.description()));
    }
    refuse_nul(loader, root, root.source());
    return read_document(loader, root, name);
}

Settings load_settings_file(const std::string &path) {
    // stdio, not a stream: a directory or a read error must not pass as an empty file.
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw SettingsError(path + ": cannot read: " + std::strerror(errno));
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    (void)std::fclose(file);  // read only: nothing left to lose
    if (failed) throw SettingsError(path + ": cannot read: " + std::strerror(error));
    return load_settings_text(text, path);
}

}  // namespace host
