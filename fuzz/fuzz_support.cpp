#include "fuzz_support.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "host_control.h"
#include "library_memory.h"

namespace fs = std::filesystem;

namespace fuzz {

namespace {

constexpr const char *kDirectories[] = {"/etc", "/etc/pam.d", "/etc/wpa_supplicant/eth0", "/etc/wpa_supplicant/wlan0",
                                        "/usr/heimdal/etc"};

std::optional<std::string> read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

bool has_control(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    });
}

bool only_of(std::string_view text, std::string_view allowed_extra) {
    return std::all_of(text.begin(), text.end(), [&](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               allowed_extra.find(c) != std::string_view::npos;
    });
}

// A line of the file that is not one its builder writes.
[[noreturn]] void bad_line(const std::string &name, std::string_view line, const char *why) {
    broken(name + ": " + why, std::string(line));
}

// Counts a key and refuses it past its most.
struct KeyCounts {
    std::map<std::string, int, std::less<>> seen;
    void add(const std::string &name, std::string_view key, int most) {
        auto it = seen.find(key);
        if (it == seen.end()) it = seen.emplace(std::string(key), 0).first;
        if (++it->second > most) broken(name + ": key written more often than any build writes it", std::string(key));
    }
};

// ---- smb.conf -------------------------------------------------------------------
constexpr std::string_view kSmbKeys[] = {"client ntlmv2 auth", "default service", "display charset", "interfaces",
                                         "password server",    "path",            "security",        "unix charset",
                                         "workgroup"};

void check_smb(std::string_view text, const std::string &name) {
    KeyCounts counts;
    int sections = 0;
    for (const std::string_view line : lines_of(text)) {
        if (line.empty()) continue;
        if (has_control(line.substr(line.starts_with('\t') ? 1 : 0))) bad_line(name, line, "control character");
        if (line.ends_with('\\')) bad_line(name, line, "line continued");
        if (line == "[global]") {
            if (++sections > 1) bad_line(name, line, "second section");
            continue;
        }
        if (!line.starts_with('\t')) bad_line(name, line, "not a key line");
        const std::string_view body = line.substr(1);
        const auto eq = body.find(" = ");
        const std::string_view key = body.substr(0, eq);
        if (eq == std::string_view::npos && !body.ends_with(" =")) bad_line(name, line, "no ' = '");
        const std::string_view bare_key = eq == std::string_view::npos ? body.substr(0, body.size() - 2) : key;
        if (std::find(std::begin(kSmbKeys), std::end(kSmbKeys), bare_key) == std::end(kSmbKeys))
            bad_line(name, line, "unknown key");
        counts.add(name, bare_key, 1);
        if (eq != std::string_view::npos) {
            const std::string_view value = body.substr(eq + 3);
            if (value.starts_with(' ') || value.ends_with(' '))
                bad_line(name, line, "value with blanks the reader strips");
        }
    }
    if (sections != 1) broken(name + ": no [global] section");
}

// ---- krb5.conf --------------------------------------------------------------------
constexpr std::string_view kKrb5Sections[] = {"[libdefaults]", "[realms]", "[logging]", "[default_realm]",
                                              "[appdefaults]", "[domain_realm]"};

bool is_token(std::string_view t) {
    if (t.empty() || has_control(t)) return false;
    if (t.find_first_of(" {}\"#=") != std::string_view::npos) return false;
    return !t.starts_with(';') && !t.starts_with('[');
}

void check_krb5(std::string_view text, const std::string &name) {
    int depth = 0;
    std::string section;
    std::vector<KeyCounts> blocks(1);
    KeyCounts section_counts;
    for (const std::string_view line : lines_of(text)) {
        if (line.empty()) continue;
        if (line.starts_with('[')) {
            if (depth != 0) bad_line(name, line, "section inside a block");
            if (std::find(std::begin(kKrb5Sections), std::end(kKrb5Sections), line) == std::end(kKrb5Sections))
                bad_line(name, line, "unknown section");
            section_counts.add(name, line, 1);
            section = line;
            blocks.assign(1, KeyCounts{});
            continue;
        }
        const std::size_t tabs = line.find_first_not_of('\t');
        if (tabs == std::string_view::npos || tabs == 0) bad_line(name, line, "not indented");
        const std::string_view body = line.substr(tabs);
        if (has_control(body)) bad_line(name, line, "control character");
        if (body == "}") {
            if (depth == 0 || tabs != static_cast<std::size_t>(depth)) bad_line(name, line, "unmatched }");
            --depth;
            blocks.pop_back();
            continue;
        }
        if (section.empty()) bad_line(name, line, "relation before any section");
        if (tabs != static_cast<std::size_t>(depth) + 1) bad_line(name, line, "wrong depth");
        const auto eq = body.find(" = ");
        if (eq == std::string_view::npos) bad_line(name, line, "no ' = '");
        const std::string_view key = body.substr(0, eq), value = body.substr(eq + 3);
        if (value == "{") {
            // A realm's block, or the fixed "pam" block of [appdefaults].
            if (section == "[realms]" && depth == 0) {
                if (!is_token(key) || key.ends_with('*')) bad_line(name, line, "realm that is not one token");
            } else if (!(section == "[appdefaults]" && key == "pam")) {
                bad_line(name, line, "unexpected block");
            }
            // Services that name the same realm each get their block.
            blocks.back().add(name, key, section == "[realms]" ? 9 : 1);
            ++depth;
            blocks.emplace_back();
            continue;
        }
        if (!only_of(key, "_")) bad_line(name, line, "key that is not a name");
        blocks.back().add(name, key, key == "kdc" ? 2 : 1);
        // (A bracketed IPv6 address may open the value: only a line that
        // begins with '[' is a section.)
        if (value.find_first_of("{}\"#") != std::string_view::npos)
            bad_line(name, line, "value that opens a block, string or comment");
        const bool list = key == "default_tkt_enctypes" || key == "default_tgs_enctypes";
        if (!list && value.find(' ') != std::string_view::npos) bad_line(name, line, "value of more than one word");
    }
    if (depth != 0) broken(name + ": block left open");
}

// ---- PAM ---------------------------------------------------------------------------
constexpr std::string_view kPamTypes[] = {"auth", "account", "password", "session"};
constexpr std::string_view kPamControls[] = {"requisite", "required", "optional", "sufficient"};

void check_pam(std::string_view text, const std::string &name) {
    // Physical lines ending in a backslash continue the entry.
    std::vector<std::string> entries;
    std::string entry;
    for (std::string_view line : lines_of(text)) {
        if (has_control(line)) bad_line(name, line, "control character");
        const bool continued = line.ends_with('\\');
        if (continued) line.remove_suffix(1);
        entry += line;
        entry += ' ';
        if (!continued) {
            entries.push_back(entry);
            entry.clear();
        }
    }
    if (!entry.empty()) broken(name + ": last entry continued past the end");
    int count = 0;
    for (const std::string &e : entries) {
        std::istringstream words(e);
        std::vector<std::string> tokens;
        for (std::string w; words >> w;) tokens.push_back(w);
        if (tokens.empty()) continue;
        if (tokens[0].starts_with('#')) bad_line(name, e, "comment");
        if (tokens.size() < 3) bad_line(name, e, "entry without a module");
        if (std::find(std::begin(kPamTypes), std::end(kPamTypes), tokens[0]) == std::end(kPamTypes))
            bad_line(name, e, "unknown type");
        if (std::find(std::begin(kPamControls), std::end(kPamControls), tokens[1]) == std::end(kPamControls))
            bad_line(name, e, "unknown control");
        if (!tokens[2].starts_with("/lib/security/")) bad_line(name, e, "module outside /lib/security");
        if (++count > 4) bad_line(name, e, "more entries than the stack has");
    }
}

// ---- wpa_supplicant.conf -------------------------------------------------------------
constexpr std::string_view kGlobalKeys[] = {"ctrl_interface", "ctrl_interface_group", "ap_scan", "fast_reauth"};
constexpr std::string_view kNetworkKeys[] = {
    "ssid",     "scan_ssid",          "key_mgmt",    "proto",        "pairwise",     "group",
    "psk",      "wep_key0",           "wep_tx_keyidx", "eap",        "identity",     "anonymous_identity",
    "password", "ca_cert",            "client_cert", "private_key",  "private_key_passwd", "phase1",
    "phase2",   "eapol_flags",        "ca_cert2",    "client_cert2", "private_key2", "private_key2_passwd",
    "auth_alg", "eap_workaround"};

void check_supplicant_value(const std::string &name, std::string_view line, std::string_view value) {
    if (value.starts_with('"')) {
        // wpa_supplicant takes a quoted value up to its last quote.
        if (value.size() < 2 || !value.ends_with('"')) bad_line(name, line, "quoted value that does not close");
        return;
    }
    if (value.empty() || !only_of(value, " _-.:/=")) bad_line(name, line, "bare value with other bytes");
}

void check_supplicant(std::string_view text, const std::string &name) {
    KeyCounts globals, network;
    int blocks = 0;
    bool inside = false;
    for (const std::string_view line : lines_of(text)) {
        if (line.empty()) continue;
        if (has_control(line.substr(line.find_first_not_of(" \t") == std::string_view::npos
                                        ? 0
                                        : line.find_first_not_of(" \t"))))
            bad_line(name, line, "control character");
        if (line == "network={") {
            if (inside || ++blocks > 1) bad_line(name, line, "second network block");
            inside = true;
            continue;
        }
        if (line == "}") {
            if (!inside) bad_line(name, line, "unmatched }");
            inside = false;
            continue;
        }
        const std::size_t indent = line.find_first_not_of(" \t");
        if ((indent != 0) != inside) bad_line(name, line, "line outside its place");
        const std::string_view body = line.substr(indent);
        const auto eq = body.find('=');
        if (eq == std::string_view::npos) bad_line(name, line, "no '='");
        const std::string_view key = body.substr(0, eq);
        if (inside) {
            if (std::find(std::begin(kNetworkKeys), std::end(kNetworkKeys), key) == std::end(kNetworkKeys))
                bad_line(name, line, "unknown network key");
            network.add(name, key, 1);
            check_supplicant_value(name, line, body.substr(eq + 1));
        } else {
            if (std::find(std::begin(kGlobalKeys), std::end(kGlobalKeys), key) == std::end(kGlobalKeys))
                bad_line(name, line, "unknown global key");
            globals.add(name, key, 1);
        }
    }
    if (inside) broken(name + ": network block left open");
    if (blocks != 1) broken(name + ": no network block");
}

std::string hex_of(std::string_view text) {
    std::string hex;
    char byte[3];
    for (const char c : text) {
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(c));
        hex += byte;
    }
    return hex;
}

}  // namespace

const std::string &root() {
    // Never destroyed: the handler that removes it runs at exit.
    static const std::string *made = [] {
        std::string path = (fs::is_directory("/dev/shm") ? std::string("/dev/shm") : std::string("/tmp")) +
                           "/tavrel-fuzz.XXXXXX";
        if (!mkdtemp(path.data())) broken("cannot make the private root");
        for (const char *dir : kDirectories) fs::create_directories(path + dir);
        setenv("TAVREL_ROOT", path.c_str(), 1);
        host::log_set_echo(host::Echo::Quiet);
        host::log_set_capture(true);
        std::atexit([] { fs::remove_all(*made); });
        return new std::string(path);
    }();
    return *made;
}

std::string previous_text(const Target &target) { return std::string("previous text of ") + target.fixed_path + "\n"; }

static std::string directory_of(const Target &target) {
    const std::string path = root() + target.fixed_path;
    return path.substr(0, path.rfind('/'));
}

void put_previous(const std::vector<Target> &targets) {
    for (const Target &t : targets)
        for (const auto &entry : fs::directory_iterator(directory_of(t)))
            if (!entry.is_directory()) fs::remove(entry.path());
    for (const Target &t : targets) {
        const std::string path = root() + t.fixed_path;
        std::ofstream(path, std::ios::binary) << previous_text(t);
        chmod(path.c_str(), 0600);
    }
}

void broken(const std::string &what, const std::string &detail) {
    std::fprintf(stderr, "\nINVARIANT BROKEN: %s\n", what.c_str());
    if (!detail.empty()) std::fprintf(stderr, "  at: [%s]\n", detail.c_str());
    std::fflush(stderr);
    abort();
}

void check_structure(Format format, std::string_view text, const std::string &name) {
    switch (format) {
    case Format::smb: check_smb(text, name); break;
    case Format::krb5: check_krb5(text, name); break;
    case Format::pam: check_pam(text, name); break;
    case Format::supplicant: check_supplicant(text, name); break;
    }
}

void check_target(const Target &target, bool ok) {
    const std::string path = root() + target.fixed_path;
    const std::optional<std::string> text = read_file(path);
    if (!ok) {
        if (!text && target.may_be_removed) return;
        if (text != previous_text(target)) broken(std::string("a failed build changed ") + target.fixed_path);
        return;
    }
    if (!text) broken(std::string("a build that succeeded left no ") + target.fixed_path);
    check_structure(target.format, *text, target.fixed_path);
    struct stat st {};
    if (target.secret && (stat(path.c_str(), &st) != 0 || (st.st_mode & 07777) != 0600))
        broken(std::string("a file with secrets is not 0600: ") + target.fixed_path);
}

void check_no_strays(const Target &target) {
    for (const auto &entry : fs::directory_iterator(directory_of(target)))
        if (entry.path().filename().string().starts_with(".")) broken("temporary file left", entry.path().string());
}

// The fuzzer learns the markers from the searches themselves and can spell a
// secret, or its hex, inside a user name, which is logged (and rendered) by
// design.
static bool given_openly(const std::string &secret, const std::string &hex, const std::vector<std::string> &open_texts) {
    return std::any_of(open_texts.begin(), open_texts.end(), [&](const std::string &t) {
        return t.find(secret) != std::string::npos || t.find(hex) != std::string::npos;
    });
}

void check_secrets_not_logged(const std::vector<std::string> &secrets, const std::vector<std::string> &open_texts) {
    for (const std::string &secret : secrets) {
        const std::string hex = hex_of(secret);
        if (given_openly(secret, hex, open_texts)) continue;
        for (const host::LogRecord &r : host::log_records())
            if (r.message.find(secret) != std::string::npos || r.message.find(hex) != std::string::npos)
                broken("a secret reached the log", r.message);
    }
}

void check_secrets_wiped(const std::vector<std::string> &secrets, const std::vector<std::string> &open_texts,
                         const std::string &before) {
    const auto in = [](const std::string &memory, const std::string &text) {
        return tavrel_test::holds(reinterpret_cast<const unsigned char *>(memory.data()), memory.size(), text);
    };
    const std::string after = tavrel_test::library_memory();
    for (const std::string &secret : secrets) {
        const std::string hex = hex_of(secret);
        if (given_openly(secret, hex, open_texts)) continue;
        for (const std::string &form : {secret, hex})
            if (in(after, form) && !in(before, form)) broken("a secret stayed in the library's memory", form);
    }
}

void check_records_returned() {
    const host::RecordCounts counts = host::svcmon_counts();
    if (counts.outstanding() != 0 || counts.bad_frees != 0)
        broken("service-monitor records not returned once: " + std::to_string(counts.outstanding()) +
               " outstanding, " + std::to_string(counts.bad_frees) + " bad frees");
}

}  // namespace fuzz
