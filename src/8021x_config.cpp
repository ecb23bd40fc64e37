// Supplicant configuration files (wpa_supplicant.conf) for the wired and the
// wireless interface.
//
// Every piece of text goes out as a fragment of its own: one fwrite of its
// exact bytes, whose result is tested, so the first piece that fails is named
// in the log and ends the build. Values are written as the caller gave them
// except where wpa_supplicant would read something else: a value with a
// double quote or a control byte goes out in wpa_supplicant's hex form, which
// reads back the same bytes, and a value that wpa_supplicant would refuse or
// read otherwise (an ssid over 32 bytes, a psk or WEP key of the wrong
// length, a line too long) is refused. A build that fails leaves the previous
// file as it was.
#include "tavrel/8021x_config.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>

#include "file_output.h"
#include "log.h"
#include "text.h"
#include "text_table.h"

namespace {
constexpr char kLogSource[] = "8021x_config";

using tavrel::view;

// ---- Messages ------------------------------------------------------------------

// What the one conversion of a message takes. A secret is logged as a fixed
// mask (an absent one as absent), never as itself.
enum class Arg { none, text, secret, sec_mode, enc_mode, eap_type };

constexpr char kHidden[] = "(hidden)";

struct Message {
    const char *format = nullptr;
    Arg arg = Arg::none;
};

// Not constexpr: reaching it while a table is compiled is a compile-time error.
void format_does_not_match_its_argument() {}

// The formats of the tables below are picked at run time, so the compiler
// cannot check them at the call; each is checked here instead, when the
// table is compiled: exactly one %s for a text, one %d for a number, no other
// conversion.
consteval Message message(const char *format, Arg arg = Arg::none) {
    int texts = 0, numbers = 0;
    for (const char *p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == 's')
            ++texts;
        else if (*p == 'd')
            ++numbers;
        else
            format_does_not_match_its_argument();
    }
    const bool text = arg == Arg::text || arg == Arg::secret;
    const bool number = arg == Arg::sec_mode || arg == Arg::enc_mode || arg == Arg::eap_type;
    if (texts != (text ? 1 : 0) || numbers != (number ? 1 : 0)) format_does_not_match_its_argument();
    return Message{format, arg};
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
void say(int level, const Message &m, const char *text = nullptr, int number = 0,
         int line = __builtin_LINE()) {
    switch (m.arg) {
    case Arg::none:
        Log_SpecEntry(level, kLogSource, line, m.format);
        break;
    case Arg::text:
        Log_SpecEntry(level, kLogSource, line, m.format, text);
        break;
    case Arg::secret:
        Log_SpecEntry(level, kLogSource, line, m.format, text ? kHidden : text);
        break;
    case Arg::sec_mode:
    case Arg::enc_mode:
    case Arg::eap_type:
        Log_SpecEntry(level, kLogSource, line, m.format, number);
        break;
    }
}
#pragma GCC diagnostic pop

// ---- Fragments -------------------------------------------------------------------

// The warnings of a family of writers: a fixed fragment that failed (named),
// and an absent stream.
struct Family {
    Message fragment_failed;
    Message null_stream;
};

constexpr Family kWireless{
    message("String [%s] failed to write to config file for Wireless 802.1x", Arg::text),
    message("Null file pointer for Wireless 802.1x settings"),
};
constexpr Family kDot1x{
    message("String [%s] failed to write to config file for 802.1x", Arg::text),
    message("Null file pointer for 802.1x settings"),
};
constexpr Family kKeys{
    message("String [%s] failed to write to config file for wireless configuration", Arg::text),
    message("Null file pointer or key for wireless configuration"),
};

// One fragment, one fwrite. A zero-length fragment fails too (fwrite reports
// no item written): that is what makes an empty value fail where a writer
// does not pass over it. The stream's error indicator is tested as well:
// glibc's fwrite reports a failed write of an unbuffered stream as a whole
// item written.
bool put(FILE *stream, std::string_view text) {
    return !text.empty() && tavrel::write_text(stream, text.data(), text.size()) == text.size() && !ferror(stream);
}

bool put_fixed(FILE *stream, const Family &family, std::string_view text) {
    if (put(stream, text)) return true;
    std::array<char, 64> named{};  // the warning takes a C string
    tavrel::copy_text(named, text.substr(0, named.size() - 1));
    say(logSpecWarn, family.fragment_failed, named.data());
    return false;
}

// Lines of fixed text: each its text, then a line feed as a fragment of its
// own. An empty entry is a line feed alone.
// A group of fixed lines is one text, each line ending in its line feed.
bool put_lines(FILE *stream, const Family &family, std::string_view lines) {
    while (!lines.empty()) {
        const std::string_view line = lines.substr(0, lines.find('\n'));
        lines.remove_prefix(std::min(line.size() + 1, lines.size()));
        if ((!line.empty() && !put_fixed(stream, family, line)) || !put_fixed(stream, family, "\n")) return false;
    }
    return true;
}

bool have_stream(FILE *stream, const Family &family) {
    if (stream) return true;
    say(logSpecWarn, family.null_stream);
    return false;
}

// The bytes of a value as lower-case hex digits, in pieces of a fixed
// buffer, which is cleared afterwards: the value may be a password.
bool put_hex(FILE *stream, std::string_view value) {
    constexpr char kDigits[] = "0123456789abcdef";
    std::array<char, 128> digits;
    bool written = true;
    while (written && !value.empty()) {
        const std::size_t n = std::min(value.size(), digits.size() / 2);
        for (std::size_t i = 0; i < n; ++i) {
            const auto byte = static_cast<unsigned char>(value[i]);
            digits[2 * i] = kDigits[byte >> 4];
            digits[2 * i + 1] = kDigits[byte & 0xf];
        }
        written = put(stream, std::string_view(digits.data(), 2 * n));
        value.remove_prefix(n);
    }
    explicit_bzero(digits.data(), digits.size());
    return written;
}

// ---- Value lines -----------------------------------------------------------------

// What a line writer does with a value that is there but empty.
enum class Empty { passed_over, written /* and so fails */ };

// Whether a value may go out in wpa_supplicant's hex form, which reads back
// any byte. A psk has none (64 hex digits are the derived key itself), so it
// keeps its quotes: one that would not read back whole is refused.
enum class HexForm { allowed, none };

enum class Form { quoted, bare };

// What wpa_supplicant accepts for a value: its length in bytes (as the caller
// gave it, before any hex form) and its characters. A value that breaks its
// rule would make wpa_supplicant drop the network or the whole file.
struct ValueRule {
    std::size_t min = 0;
    std::size_t max = SIZE_MAX;
    std::array<std::size_t, 3> one_of{};  // when set, the length is one of these
    bool printable_ascii = false;
    bool hex_digits = false;
    const char *broken = nullptr;  // what the warning says of a value that breaks it
};

constexpr ValueRule kAnyValue{};
constexpr ValueRule kSsidRule{.max = 32, .broken = "is longer than 32 bytes"};
constexpr ValueRule kPassphraseRule{
    .min = 8, .max = 63, .printable_ascii = true, .broken = "is not 8 to 63 printable ASCII characters"};
constexpr ValueRule kPskKeyRule{.one_of = {64}, .hex_digits = true, .broken = "is not 64 hex digits"};
constexpr ValueRule kWepTextRule{.one_of = {5, 13, 16}, .broken = "is not 5, 13 or 16 characters"};
constexpr ValueRule kWepHexRule{.one_of = {10, 26, 32}, .hex_digits = true, .broken = "is not 10, 26 or 32 hex digits"};

struct ValueLine {
    const char *key;  // four blanks, the key name and "="
    const Family *family;
    Message value_failed;  // when the value fragment fails; Arg::text names the value
    Empty empty;
    HexForm hex_form = HexForm::allowed;
    Message announce = {};  // logged at logSpecDebug with the value, when set
    const ValueRule *quoted_rule = &kAnyValue;
    const ValueRule *bare_rule = &kAnyValue;
};

// "    ca_cert2=" -> "ca_cert2", for messages.
constexpr std::string_view key_name(const char *key) {
    std::string_view k(key);
    while (!k.empty() && k.front() == ' ') k.remove_prefix(1);
    if (!k.empty() && k.back() == '=') k.remove_suffix(1);
    return k;
}

constexpr bool is_hex_digit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
constexpr bool is_printable_ascii(char c) { return c >= 0x20 && c < 0x7f; }

constexpr bool follows(const ValueRule &rule, std::string_view value) {
    const std::size_t n = value.size();
    if (n < rule.min || n > rule.max) return false;
    if (rule.one_of[0] != 0 && std::find(rule.one_of.begin(), rule.one_of.end(), n) == rule.one_of.end()) return false;
    if (rule.printable_ascii && !std::all_of(value.begin(), value.end(), is_printable_ascii)) return false;
    return !rule.hex_digits || std::all_of(value.begin(), value.end(), is_hex_digit);
}

// A quoted value goes out in hex when wpa_supplicant would not read it back
// between quotes: a line feed or another control byte would end or corrupt
// the line, and a double quote could let a '#' after it start a comment.
constexpr bool needs_hex_form(std::string_view value) {
    return tavrel::has_control(value) || value.find('"') != std::string_view::npos;
}

// Whether wpa_supplicant would cut a quoted value at a '#': when a '#'
// follows an odd number of the value's own double quotes.
constexpr bool cut_at_comment(std::string_view value) {
    bool odd = false;
    for (char c : value) {
        if (c == '"')
            odd = !odd;
        else if (c == '#' && odd)
            return true;
    }
    return false;
}

// wpa_supplicant reads a line of its configuration into 2000 bytes, line
// feed and NUL included; a longer line makes it refuse the whole file.
constexpr std::size_t kLongestLine = 1998;

void refuse(const ValueLine &line, const char *what) {
    const std::string_view name = key_name(line.key);
    TLOG(logSpecWarn, "Value for [%.*s] %s; not written to config file", static_cast<int>(name.size()), name.data(),
         what);
}

// How a value is written: between quotes, bare, or (quoted, but unreadable
// so) in hex. A value wpa_supplicant would not read back as given is refused
// with one warning naming the key, never the value. An empty value is left
// to the line's own rule for empty values.
struct Written {
    bool refused = false;
    bool hex = false;
    bool quoted = false;
};

Written how_written(const ValueLine &line, std::string_view value, Form form) {
    const bool hex = form == Form::quoted && line.hex_form == HexForm::allowed && needs_hex_form(value);
    const Written out{false, hex, form == Form::quoted && !hex};
    if (tavrel::has_control(value) && !hex) {
        refuse(line, "holds a control character");
        return {true};
    }
    const ValueRule &rule = form == Form::quoted ? *line.quoted_rule : *line.bare_rule;
    if (!value.empty() && !follows(rule, value)) {
        refuse(line, rule.broken);
        return {true};
    }
    if (out.quoted && line.hex_form == HexForm::none && cut_at_comment(value)) {
        refuse(line, "would be cut short at a '#'");
        return {true};
    }
    if (std::string_view(line.key).size() + (hex ? 2 * value.size() : value.size()) + (out.quoted ? 2 : 0) >
        kLongestLine) {
        refuse(line, "is too long for a config file line");
        return {true};
    }
    return out;
}

// Key, value and line feed, written as how_written says. An absent value is
// written as nothing.
bool put_value_line(FILE *stream, const ValueLine &line, const char *value, Form form = Form::quoted) {
    const std::string_view v = view(value);
    const Written how = how_written(line, v, form);
    if (how.refused) return false;
    const Family &family = *line.family;
    if (!put_fixed(stream, family, line.key) || (how.quoted && !put_fixed(stream, family, "\""))) return false;
    if (line.announce.format) say(logSpecDebug, line.announce, value);
    const bool passed_over = !value || (v.empty() && line.empty == Empty::passed_over);
    if (!passed_over && !(how.hex ? put_hex(stream, v) : put(stream, v))) {
        say(logSpecWarn, line.value_failed, value);
        return false;
    }
    return (!how.quoted || put_fixed(stream, family, "\"")) && put_fixed(stream, family, "\n");
}

// ---- Common blocks -----------------------------------------------------------------

constexpr char kWirelessHeaderLines[] =
    "ctrl_interface=/var/run/wpa_supplicant\nctrl_interface_group=0\nap_scan=1\n\nnetwork={\n    scan_ssid=1\n";
constexpr char kWiredHeaderLines[] =
    "ctrl_interface=/var/run/wpa_supplicant\nctrl_interface_group=0\nap_scan=0\nfast_reauth=0\n\nnetwork={\n";
constexpr char kWired8021xLines[] = "    key_mgmt=IEEE8021X\n    eapol_flags=0\n";
constexpr char kCloseLines[] = "}\n";

// Key management by CF_IO_SECMODE_Type code.
constexpr const char *kKeyMgmtTexts[] = {
    "    key_mgmt=NONE\n",
    "    key_mgmt=NONE\n",
    "    key_mgmt=WPA-PSK\n    proto=RSN WPA\n",
    "    key_mgmt=WPA-PSK\n    proto=RSN\n",
    "    key_mgmt=WPA-EAP\n    proto=RSN WPA\n",
    "    key_mgmt=WPA-EAP\n    proto=RSN\n",
};
constexpr auto kKeyMgmtLines = tavrel::pack<tavrel::packed_size(kKeyMgmtTexts)>(kKeyMgmtTexts);

// Pairwise cipher by CF_IO_ENCMODE_Type code; the group line is the same for all.
constexpr const char *kPairwiseTexts[] = {
    "    pairwise=TKIP\n    group=CCMP TKIP\n",
    "    pairwise=CCMP\n    group=CCMP TKIP\n",
    "    pairwise=CCMP\n    group=CCMP TKIP\n",
    "    pairwise=CCMP TKIP\n    group=CCMP TKIP\n",
};
constexpr auto kPairwiseLines = tavrel::pack<tavrel::packed_size(kPairwiseTexts)>(kPairwiseTexts);

constexpr ValueLine kSsidLine{
    "    ssid=", &kWireless,
    message("String for the SSID failed to write to config file for Wireless  802.1x"), Empty::passed_over,
    HexForm::allowed, {}, &kSsidRule,
};

int write_wireless_header(FILE *stream) {
    return have_stream(stream, kWireless) && put_lines(stream, kWireless, kWirelessHeaderLines);
}

// Written straight after the wired file is opened, so it has a stream.
int write_wired_header(FILE *stream) { return put_lines(stream, kDot1x, kWiredHeaderLines); }

int write_ssid(FILE *stream, const char *ssid) {
    return have_stream(stream, kWireless) && put_value_line(stream, kSsidLine, ssid);
}

int write_key_mgmt(FILE *stream, unsigned sec_mode) {
    if (!have_stream(stream, kWireless)) return 0;
    if (sec_mode >= kKeyMgmtLines.size()) {
        TLOG(logSpecWarn, "Unknown Wireless SecMode %d", static_cast<int>(sec_mode));
        return 0;
    }
    return put_lines(stream, kWireless, kKeyMgmtLines[sec_mode]);
}

int write_pairwise_group(FILE *stream, int enc_mode) {
    if (!have_stream(stream, kWireless)) return 0;
    if (enc_mode < 0 || static_cast<std::size_t>(enc_mode) >= kPairwiseLines.size()) {
        TLOG(logSpecWarn, "Unknown Wireless Encryption Mode %d", enc_mode);
        return 0;
    }
    return put_lines(stream, kWireless, kPairwiseLines[static_cast<std::size_t>(enc_mode)]);
}

int write_wired_8021x_block(FILE *stream) {
    return have_stream(stream, kDot1x) && put_lines(stream, kDot1x, kWired8021xLines);
}

int write_network_close(FILE *stream) {
    return have_stream(stream, kDot1x) && put_lines(stream, kDot1x, kCloseLines);
}

// ---- Key lines of the wireless security modes ---------------------------------------

constexpr ValueLine kWepKeyLine{
    "    wep_key0=", &kKeys,
    message("String for the key failed to write to config file for wireless configuration"), Empty::written,
    HexForm::allowed, {}, &kWepTextRule, &kWepHexRule,
};
constexpr ValueLine kPskLine{
    "    psk=", &kKeys,
    message("String for the psk failed to write to config file for wireless configuration"), Empty::written,
    HexForm::none, {}, &kPassphraseRule, &kPskKeyRule,
};

// Key slot 0 only. A text key that holds a double quote or a control byte
// goes out as the hex key of the same bytes.
int write_wep_key(FILE *stream, const char *wep_key, int32_t key_is_hex) {
    if (!stream || !wep_key) {
        say(logSpecWarn, kKeys.null_stream);
        return 0;
    }
    return put_value_line(stream, kWepKeyLine, wep_key, key_is_hex ? Form::bare : Form::quoted);
}

// A passphrase between quotes; 64 hex digits are the key itself, which
// wpa_supplicant reads only bare. An absent psk leaves the line out:
// wpa_supplicant refuses a whole file with an empty passphrase, but takes a
// WPA-PSK network whose key is set later through its control interface.
int write_psk(FILE *stream, const char *psk) {
    if (!have_stream(stream, kKeys)) return 0;
    if (!psk) return 1;
    const Form form = follows(kPskKeyRule, psk) ? Form::bare : Form::quoted;
    return put_value_line(stream, kPskLine, psk, form);
}

// ---- EAP method lines ---------------------------------------------------------------

// By row: the code each answers, and the method name on its "eap=" line.
// Row 8 is never asked for by the enterprise builder, which refuses codes above 7.
constexpr std::array<int32_t, 9> kEapTypeCodes = {0, 1, 2, 3, 4, 5, 6, 7, 8};
constexpr const char *kEapTypeNames[] = {"MD5", "PEAP", "TLS", "MSCHAPV2", "LEAP", "TTLS", "TTLS", "TTLS", "MD5"};
constexpr auto eap_type_names = tavrel::pack<tavrel::packed_size(kEapTypeNames)>(kEapTypeNames);

constexpr ValueLine kIdentityLine{
    "    identity=", &kDot1x, kDot1x.fragment_failed, Empty::passed_over, HexForm::allowed,
    message("Username for 802.1x is [%s]", Arg::text),
};
constexpr ValueLine kPasswordLine{
    "    password=", &kDot1x, message("String for the password failed to write to config file for 802.1x"),
    Empty::passed_over,
};
constexpr ValueLine kAnonymousIdentityLine{
    "    anonymous_identity=", &kDot1x, message("String Outer Identity failed to write to config file for 802.1x"),
    Empty::passed_over, HexForm::allowed, message("Outer Identity for 802.1x is [%s]", Arg::text),
};

// The certificate lines: an outer key, an inner (phase 2) key, and what is
// warned when the value fails.
struct CertLine {
    const char *outer_key;
    const char *inner_key;
    Message value_failed;
};

constexpr CertLine kCaCertLine{
    "    ca_cert=", "    ca_cert2=",
    message("String for the cert file path failed to write to config file for 802.1x"),
};
constexpr CertLine kClientCertLine{
    "    client_cert=", "    client_cert2=",
    message("String for the cert file path failed to write to config file for 802.1x"),
};
constexpr CertLine kPrivateKeyLine{
    "    private_key=", "    private_key2=",
    message("String for the private key file failed to write to config file for 802.1x"),
};
constexpr CertLine kPrivateKeyPasswdLine{
    "    private_key_passwd=", "    private_key2_passwd=",
    message("String for the private key password failed to write to config file for 802.1x"),
};

int write_identity(FILE *stream, const char *user_name) {
    if (!have_stream(stream, kDot1x)) return 0;
    if (!user_name) {
        TLOG(logSpecWarn, "No user name configured");
        return 0;
    }
    return put_value_line(stream, kIdentityLine, user_name);
}

int write_password(FILE *stream, const char *password) {
    if (!have_stream(stream, kDot1x)) return 0;
    if (!password) {
        TLOG(logSpecWarn, "Null password pointer");
        return 0;
    }
    return put_value_line(stream, kPasswordLine, password);
}

int write_anonymous_identity(FILE *stream, const char *outer_identity) {
    if (!have_stream(stream, kDot1x)) return 0;
    if (!outer_identity) {
        TLOG(logSpecInfo, "Outer Identity is NULL");
        return 1;
    }
    return put_value_line(stream, kAnonymousIdentityLine, outer_identity);
}

int write_eap_type(FILE *stream, int eap_type) {
    if (!have_stream(stream, kDot1x)) return 0;
    const auto row = std::find(kEapTypeCodes.begin(), kEapTypeCodes.end(), eap_type);
    if (row == kEapTypeCodes.end()) {
        TLOG(logSpecWarn, "EAP Type Not Found in List");
        return 0;
    }
    const std::string_view name = eap_type_names[static_cast<std::size_t>(row - kEapTypeCodes.begin())];
    return put_fixed(stream, kDot1x, "    eap=") && put_fixed(stream, kDot1x, name) && put_fixed(stream, kDot1x, "\n");
}

// kind: "auth=" for a non-EAP inner method (PAP, MSCHAPV2), "autheap=" for an
// EAP method inside the tunnel (TLS), which wpa_supplicant refuses under auth=.
int write_phase2(FILE *stream, std::string_view kind, const char *inner_method) {
    if (!have_stream(stream, kDot1x)) return 0;
    if (!inner_method) {
        TLOG(logSpecWarn, "Null inner EAP type for 802.1x settings");
        return 0;
    }
    for (const std::string_view fragment : {std::string_view("    phase2="), std::string_view("\""), kind,
                                            std::string_view(inner_method), std::string_view("\""),
                                            std::string_view("\n")})
        if (!put_fixed(stream, kDot1x, fragment)) return 0;
    return 1;
}

int write_cert_line(FILE *stream, const CertLine &cert, const char *value, CF_IO_EAPMODE_Type mode) {
    if (!have_stream(stream, kDot1x)) return 0;
    if (mode != CF_IO_EAPMODE_INNER && mode != CF_IO_EAPMODE_OUTER) {
        TLOG(logSpecWarn, "Unknown CF_IO_EAPMODE_Type");
        return 0;
    }
    const ValueLine line{
        mode == CF_IO_EAPMODE_INNER ? cert.inner_key : cert.outer_key, &kDot1x, cert.value_failed, Empty::written,
    };
    return put_value_line(stream, line, value);
}

int write_ca_cert(FILE *stream, const char *path, CF_IO_EAPMODE_Type mode) {
    return write_cert_line(stream, kCaCertLine, path, mode);
}
int write_client_cert(FILE *stream, const char *path, CF_IO_EAPMODE_Type mode) {
    return write_cert_line(stream, kClientCertLine, path, mode);
}
int write_private_key(FILE *stream, const char *path, CF_IO_EAPMODE_Type mode) {
    return write_cert_line(stream, kPrivateKeyLine, path, mode);
}
int write_private_key_passwd(FILE *stream, const char *password, CF_IO_EAPMODE_Type mode) {
    return write_cert_line(stream, kPrivateKeyPasswdLine, password, mode);
}

// ---- Builder steps ---------------------------------------------------------------------

// The texts of whichever record a builder was given.
enum class Field : uint8_t {
    none, ssid, psk, wep_key, user_name, password, outer_identity,
    ca_cert, client_cert, private_key, private_key_passwd, count,
};

struct Inputs {
    int32_t interface = -1;
    uint32_t sec_mode = 0;
    int32_t enc_mode = 0;
    uint32_t eap_type = 0;
    int32_t key_is_hex = 0;
    std::array<const char *, static_cast<std::size_t>(Field::count)> texts{};

    // cppcheck-suppress CastIntegerToAddressAtReturn ; an element of texts is a pointer: cppcheck misreads the array
    const char *text(Field f) const { return texts[static_cast<std::size_t>(f)]; }
    void set(Field f, const char *t) { texts[static_cast<std::size_t>(f)] = t; }
    int number(Arg a) const {
        switch (a) {
        case Arg::sec_mode: return static_cast<int>(sec_mode);
        case Arg::enc_mode: return enc_mode;
        case Arg::eap_type: return static_cast<int>(eap_type);
        default: return 0;
        }
    }
};

enum class When : uint8_t { always, wired_only, present /* the step's field is not null */ };

// What a step writes, with which of the record's values.
enum class Writer : uint8_t {
    wireless_header, wired_header, ssid, key_mgmt, pairwise_group, wep_key, psk, identity, password,
    outer_identity, wired_block, eap_type, phase2, ca_cert, client_cert, private_key, private_key_passwd,
    close, refuse,
};

// The inner methods of the tunnelled ones: a non-EAP method goes after
// "auth=", an EAP method inside the tunnel (TLS) after "autheap=".
enum class Inner : uint8_t { none, mschapv2, pap, tls };
constexpr const char *kInnerKindTexts[] = {"", "auth=", "auth=", "autheap="};
constexpr const char *kInnerNameTexts[] = {"", "MSCHAPV2", "PAP", "TLS"};
constexpr auto kInnerKinds = tavrel::pack<tavrel::packed_size(kInnerKindTexts)>(kInnerKindTexts);
constexpr auto kInnerNames = tavrel::pack<tavrel::packed_size(kInnerNameTexts)>(kInnerNameTexts);

// What a step logs at logSpecError when it fails.
enum class Failure : uint8_t {
    header, ssid, sec_type, enc_type, wep_key, psk, close, username, password, password_shown, outer_identity,
    generic, ca_cert, md5, peap, code, mschapv2, pap, tls, client_cert, private_key, private_key_passwd,
    inner_ca_cert, inner_client_cert, inner_private_key, inner_private_key_passwd, unsupported, count,
};

struct FailureText {
    Failure failure;
    Message message;
};

// The messages by Failure; each named exactly once.
consteval std::array<Message, static_cast<std::size_t>(Failure::count)> by_failure(
    std::initializer_list<FailureText> texts) {
    std::array<Message, static_cast<std::size_t>(Failure::count)> table{};
    for (const FailureText &t : texts) {
        Message &slot = table[static_cast<std::size_t>(t.failure)];
        if (slot.format) format_does_not_match_its_argument();  // named twice
        slot = t.message;
    }
    for (const Message &m : table)
        if (!m.format) format_does_not_match_its_argument();  // never named
    return table;
}

constexpr auto kFailures = by_failure({
    {Failure::header, message("Cannot write out Header Information")},
    {Failure::ssid, message("Cannot write out username [%s]", Arg::text)},
    {Failure::sec_type, message("Cannot write out SecType [%d]", Arg::sec_mode)},
    {Failure::enc_type, message("Cannot write out EncType [%d]", Arg::enc_mode)},
    {Failure::wep_key, message("Cannot write out SecType [%s]", Arg::secret)},
    {Failure::psk, message("Cannot write out PSK [%s]", Arg::secret)},
    {Failure::close, message("Cannot close out file settings")},
    {Failure::username, message("Cannot write out username [%s]", Arg::text)},
    {Failure::password, message("Cannot write out password")},
    {Failure::password_shown, message("Cannot write out password [%s]", Arg::secret)},
    {Failure::outer_identity, message("Cannot write out Outer Identity")},
    {Failure::generic, message("Cannot write out generic file info")},
    {Failure::ca_cert, message("Cannot write out ca_cert path info")},
    {Failure::md5, message("Cannot write out MD5")},
    {Failure::peap, message("Cannot write out PEAP")},
    {Failure::code, message("Cannot write out [%d] ", Arg::eap_type)},
    {Failure::mschapv2, message("Cannot write out MSCHAPv2 inner EAP type")},
    {Failure::pap, message("Cannot write out PAP inner EAP type")},
    {Failure::tls, message("Cannot write out TLS inner EAP type")},
    {Failure::client_cert, message("Cannot write out client_cert path info")},
    {Failure::private_key, message("Cannot write out private_key path info")},
    {Failure::private_key_passwd, message("Cannot write out private_key_passwd info")},
    {Failure::inner_ca_cert, message("Cannot write out inner ca_cert path info")},
    {Failure::inner_client_cert, message("Cannot write out inner client_cert path info")},
    {Failure::inner_private_key, message("Cannot write out inner private_key path info")},
    {Failure::inner_private_key_passwd, message("Cannot write out inner private_key_passwd info")},
    {Failure::unsupported, message("EAP type [%d] is not supported!", Arg::eap_type)},
});

// A row of a builder's course. It holds no pointer, so the tables cost the
// library no relocations of their own.
struct Step {
    Writer write;
    Field field = Field::none;  // the text handed to the writer and named by the failure
    Failure failure = Failure::header;
    When when = When::always;
    bool inner_keys = false;    // certificate lines: the phase-2 key names
    Inner inner = Inner::none;  // the phase-2 line
};

int run(FILE *stream, const Inputs &in, const Step &step) {
    const char *text = in.text(step.field);
    const CF_IO_EAPMODE_Type mode = step.inner_keys ? CF_IO_EAPMODE_INNER : CF_IO_EAPMODE_OUTER;
    switch (step.write) {
    case Writer::wireless_header: return write_wireless_header(stream);
    case Writer::wired_header: return write_wired_header(stream);
    case Writer::ssid: return write_ssid(stream, text);
    case Writer::key_mgmt: return write_key_mgmt(stream, in.sec_mode);
    case Writer::pairwise_group: return write_pairwise_group(stream, in.enc_mode);
    case Writer::wep_key: return write_wep_key(stream, text, in.key_is_hex);
    case Writer::psk: return write_psk(stream, text);
    case Writer::identity: return write_identity(stream, text);
    case Writer::password: return write_password(stream, text);
    case Writer::outer_identity: return write_anonymous_identity(stream, text);
    case Writer::wired_block: return write_wired_8021x_block(stream);
    case Writer::eap_type: return write_eap_type(stream, static_cast<int>(in.eap_type));
    case Writer::phase2: {
        const auto inner = static_cast<std::size_t>(step.inner);
        return write_phase2(stream, kInnerKinds[inner], kInnerNames[inner].data());
    }
    case Writer::ca_cert: return write_ca_cert(stream, text, mode);
    case Writer::client_cert: return write_client_cert(stream, text, mode);
    case Writer::private_key: return write_private_key(stream, text, mode);
    case Writer::private_key_passwd: return write_private_key_passwd(stream, text, mode);
    case Writer::close: return write_network_close(stream);
    case Writer::refuse: break;
    }
    return 0;
}

constexpr Step kWirelessHeader{Writer::wireless_header, Field::none, Failure::header};
constexpr Step kWiredHeader{Writer::wired_header, Field::none, Failure::header};
constexpr Step kSsid{Writer::ssid, Field::ssid, Failure::ssid};
constexpr Step kKeyMgmt{Writer::key_mgmt, Field::none, Failure::sec_type};
constexpr Step kPairwiseGroup{Writer::pairwise_group, Field::none, Failure::enc_type};
constexpr Step kWepKey{Writer::wep_key, Field::wep_key, Failure::wep_key};
constexpr Step kPsk{Writer::psk, Field::psk, Failure::psk};
constexpr Step kClose{Writer::close, Field::none, Failure::close};

constexpr Step kNoSecuritySteps[] = {kWirelessHeader, kSsid, kKeyMgmt, kClose};
constexpr Step kWepSteps[] = {kWirelessHeader, kSsid, kKeyMgmt, kWepKey, kClose};
constexpr Step kPersonalSteps[] = {kWirelessHeader, kSsid, kKeyMgmt, kPairwiseGroup, kPsk, kClose};
constexpr Step kWiredHead[] = {kWiredHeader};
constexpr Step kWirelessEnterpriseHead[] = {kWirelessHeader, kSsid, kKeyMgmt, kPairwiseGroup};

constexpr Step kIdentity{Writer::identity, Field::user_name, Failure::username};
constexpr Step kPassword{Writer::password, Field::password, Failure::password};
constexpr Step kOuterIdentity{Writer::outer_identity, Field::outer_identity, Failure::outer_identity};
constexpr Step kWiredBlock{Writer::wired_block, Field::none, Failure::generic, When::wired_only};
constexpr Step kCaCert{Writer::ca_cert, Field::ca_cert, Failure::ca_cert, When::present};

constexpr Step eap_step(Failure failure) { return Step{Writer::eap_type, Field::none, failure}; }
constexpr Step phase2(Inner inner, Failure failure) {
    return Step{Writer::phase2, Field::none, failure, When::always, false, inner};
}
constexpr Step inner_cert(Writer write, Field field, Failure failure, When when = When::always) {
    return Step{write, field, failure, when, true};
}

// MD5, MSCHAPV2 and LEAP.
constexpr Step kPlainMethodSteps[] = {
    kIdentity, kPassword, eap_step(Failure::md5), kWiredBlock, kClose,
};
// The outer identity goes out before the tunnel exists, in place of the user
// name; without one PEAP sends the user name, as before.
constexpr Step kPeapOuterIdentity{Writer::outer_identity, Field::outer_identity, Failure::outer_identity,
                                  When::present};
constexpr Step kPeapSteps[] = {
    kIdentity, kPassword, kPeapOuterIdentity, eap_step(Failure::peap), kWiredBlock,
    phase2(Inner::mschapv2, Failure::mschapv2), kCaCert, kClose,
};
constexpr Step kTlsSteps[] = {
    kIdentity,
    {Writer::password, Field::password, Failure::password_shown, When::present},
    kWiredBlock,
    eap_step(Failure::code),
    kCaCert,
    {Writer::client_cert, Field::client_cert, Failure::client_cert},
    {Writer::private_key, Field::private_key, Failure::private_key},
    {Writer::private_key_passwd, Field::private_key_passwd, Failure::private_key_passwd},
    kClose,
};
constexpr Step kTtlsPapSteps[] = {
    kIdentity, kPassword, kOuterIdentity, kWiredBlock, eap_step(Failure::peap), phase2(Inner::pap, Failure::pap),
    kCaCert, kClose,
};
constexpr Step kTtlsMschapv2Steps[] = {
    kIdentity, kPassword, kOuterIdentity, kWiredBlock, eap_step(Failure::peap),
    phase2(Inner::mschapv2, Failure::mschapv2), kCaCert, kClose,
};
constexpr Step kTtlsTlsSteps[] = {
    kIdentity,
    eap_step(Failure::code),
    kOuterIdentity,
    kWiredBlock,
    phase2(Inner::tls, Failure::tls),
    kCaCert,
    inner_cert(Writer::ca_cert, Field::ca_cert, Failure::inner_ca_cert, When::present),
    inner_cert(Writer::client_cert, Field::client_cert, Failure::inner_client_cert),
    inner_cert(Writer::private_key, Field::private_key, Failure::inner_private_key),
    inner_cert(Writer::private_key_passwd, Field::private_key_passwd, Failure::inner_private_key_passwd),
    kClose,
};

// By CF_IO_EAP_Type code.
constexpr std::array<std::span<const Step>, 8> kMethodSteps = {
    kPlainMethodSteps, kPeapSteps,    kTlsSteps,          kPlainMethodSteps,
    kPlainMethodSteps, kTtlsPapSteps, kTtlsMschapv2Steps, kTtlsTlsSteps,
};
constexpr Step kRefusedMethod[] = {
    {Writer::refuse, Field::none, Failure::unsupported},
};

// By CF_IO_IFACE_Type code.
struct InterfaceFile {
    const char *path;
    std::span<const Step> head;
};
constexpr std::array<InterfaceFile, 2> kInterfaceFiles = {{
    {CF_IO_WIRED_CONF_PATH, kWiredHead},
    {CF_IO_WIRELESS_CONF_PATH, kWirelessEnterpriseHead},
}};

// ---- The builder course ---------------------------------------------------------------

bool applies(const Step &step, const Inputs &in) {
    switch (step.when) {
    case When::wired_only: return in.interface == CF_IO_IFACE_WIRED;
    case When::present: return in.text(step.field) != nullptr;
    case When::always: break;
    }
    return true;
}

// Opens the file (none when path is null: the steps then run without a
// stream, and the first writer reports it), runs the steps and puts the
// file in place only when every step succeeded.
unsigned write_file(const Inputs &in, const char *path, std::initializer_list<std::span<const Step>> parts,
                    const Message &success) {
    tavrel::OutputFile out(kLogSource, path, tavrel::Secrecy::secret);
    FILE *stream = path ? out.open() : nullptr;
    if (path && !stream) {
        TLOG(logSpecError, "Error opening file %s", path);
        return 0;
    }
    for (const std::span<const Step> part : parts) {
        for (const Step &step : part) {
            if (!applies(step, in) || run(stream, in, step)) continue;
            out.abandon(tavrel::OnFailure::keep_previous);
            const Message &failure = kFailures[static_cast<std::size_t>(step.failure)];
            say(logSpecError, failure, in.text(step.field), in.number(failure.arg));
            return 0;
        }
    }
    if (!out.finish()) return 0;
    say(logSpecDebug, success);
    return 1;
}

// in: null when the caller gave no record.
unsigned build(const char *name, const Inputs *in, const char *path,
               std::initializer_list<std::span<const Step>> parts, const Message &success) {
    TLOG_ENTER(name);
    unsigned result = 0;
    if (!in)
        TLOG(logSpecError, "Config params are not set");
    else
        result = write_file(*in, path, parts, success);
    TLOG_RETURN(name);
    return result;
}

Inputs wireless_inputs(const CF_IO_Wireless_Params &params) {
    Inputs in;
    in.set(Field::ssid, params.ssid);
    in.sec_mode = params.sec_mode;
    return in;
}

}  // namespace

unsigned int cf_build_wireless_nosecurity_8021x_conf_for_authentication(const CF_IO_Wireless_Params *params) {
    std::optional<Inputs> in;
    if (params) in = wireless_inputs(*params);
    return build(__func__, in ? &*in : nullptr, CF_IO_WIRELESS_CONF_PATH, {kNoSecuritySteps},
                 message("Config file successfully created for No Security mode "));
}

unsigned int cf_build_wireless_wep_8021x_conf_for_authentication(const CF_IO_WEP_Params *params) {
    std::optional<Inputs> in;
    if (params) {
        in.emplace();
        in->set(Field::ssid, params->ssid);
        in->sec_mode = params->sec_mode;
        in->set(Field::wep_key, params->wep_key);
        in->key_is_hex = params->key_is_hex;
    }
    return build(__func__, in ? &*in : nullptr, CF_IO_WIRELESS_CONF_PATH, {kWepSteps},
                 message("Config file successfully created for WEP"));
}

unsigned int cf_build_wireless_personal_8021x_conf_for_authentication(const CF_IO_Wireless_Params *params) {
    std::optional<Inputs> in;
    if (params) {
        in = wireless_inputs(*params);
        in->enc_mode = params->enc_mode;
        in->set(Field::psk, params->psk);
    }
    return build(__func__, in ? &*in : nullptr, CF_IO_WIRELESS_CONF_PATH, {kPersonalSteps},
                 message("Config file successfully created for Wireless Personal Settings mode "));
}

unsigned int cf_build_enterprise_8021x_conf_for_authentication(const CF_IO_8021x_Params *params) {
    constexpr Message kSuccess = message("Config file successfully created");
    if (!params) return build(__func__, nullptr, nullptr, {}, kSuccess);

    Inputs in;
    in.interface = params->interface;
    in.eap_type = params->eap_type;
    // The wireless fields are the caller's own affair on the wired interface.
    InterfaceFile file{nullptr, {}};
    if (params->interface >= 0 && static_cast<std::size_t>(params->interface) < kInterfaceFiles.size())
        file = kInterfaceFiles[static_cast<std::size_t>(params->interface)];
    if (params->interface == CF_IO_IFACE_WIRELESS) {
        in.set(Field::ssid, params->ssid);
        in.sec_mode = params->sec_mode;
        in.enc_mode = params->enc_mode;
    }
    in.set(Field::user_name, params->user_name);
    in.set(Field::password, params->password);
    in.set(Field::outer_identity, params->outer_identity);
    in.set(Field::ca_cert, params->ca_cert);
    in.set(Field::client_cert, params->client_cert);
    in.set(Field::private_key, params->private_key);
    in.set(Field::private_key_passwd, params->private_key_passwd);
    const std::span<const Step> method =
        in.eap_type < kMethodSteps.size() ? kMethodSteps[in.eap_type] : std::span<const Step>(kRefusedMethod);
    return build(__func__, &in, file.path, {file.head, method}, kSuccess);
}
