// The SMB client configuration for filing scanned documents to a share
// (/etc/smb.conf.file), written through SambaConfig's virtual file operations.
#include "tavrel/SambaConfig.h"

#include <errno.h>
#include <limits.h>

#include <cstddef>
#include <string_view>

#include "config_server.h"
#include "file_output.h"
#include "ip_utils.h"
#include "log.h"
#include "tavrel/general_utilities.h"
#include "tavrel/samba_config.h"
#include "text.h"

namespace {

constexpr char kLogSource[] = "SambaConfig";
constexpr char kName[] = "build_smb_conf_for_filing";
constexpr char kFilingConfPath[] = "/etc/smb.conf.file";
constexpr char kResolveKey[] = "services[scan2file].resolveHostname";
constexpr char kNtlmv2Key[] = "services[scan2file].SMBSecurity.NTLMv2Only";

// A server is a host name, a NetBIOS name or an address; a path longer than
// the system's own limit cannot name anything on the share.
constexpr std::size_t kServerMax = TAVREL_DNS_NAME_SIZE - 1;
constexpr std::size_t kPathMax = PATH_MAX - 1;
constexpr std::size_t kResolvedSize = 56;

void put(SambaConfig &config, FILE *stream, std::string_view text) {
    config.fwrite(text.data(), 1, static_cast<unsigned>(text.size()), stream);
}

// Arguments that cannot be written as one smb.conf line are refused before
// anything is opened; each refusal names the argument.
bool acceptable(const char *server, const char *path) {
    const std::size_t server_length = tavrel::bounded_length(server, kServerMax);
    if (server_length == 0) {
        TLOG(logSpecError, "%s - No server given", kName);
        return false;
    }
    if (server_length > kServerMax) {
        TLOG(logSpecError, "%s - The server is longer than %d characters", kName, static_cast<int>(kServerMax));
        return false;
    }
    const std::string_view server_text(server, server_length);
    if (tavrel::has_control(server_text)) {
        TLOG(logSpecError, "%s - The server holds a control character", kName);
        return false;
    }
    // A backslash has no place in a server name, and at its end it would
    // continue the line.
    if (tavrel::has_any_of(server_text, "\\")) {
        TLOG(logSpecError, "%s - The server holds a backslash", kName);
        return false;
    }
    // smb.conf's reader strips blanks around a value: the file would name
    // another server.
    if (server_text.front() == ' ' || server_text.back() == ' ') {
        TLOG(logSpecError, "%s - The server begins or ends with a blank", kName);
        return false;
    }
    if (!path) {
        TLOG(logSpecError, "%s - No path given", kName);
        return false;
    }
    const std::size_t path_length = tavrel::bounded_length(path, kPathMax);
    if (path_length > kPathMax) {
        TLOG(logSpecError, "%s - The path is longer than %d characters", kName, static_cast<int>(kPathMax));
        return false;
    }
    if (tavrel::has_control(std::string_view(path, path_length))) {
        TLOG(logSpecError, "%s - The path holds a control character", kName);
        return false;
    }
    // A leading blank stays inside the value (the path goes out after a
    // '/'); a trailing one would be stripped.
    if (path_length > 0 && path[path_length - 1] == ' ') {
        TLOG(logSpecError, "%s - The path ends with a blank", kName);
        return false;
    }
    return true;
}

// The server as given, or its IPv4 address when it is a name that resolves.
void write_server(SambaConfig &config, FILE *stream, const char *server, int resolve) {
    if (is_it_an_IP_address(server) == 1) {
        TLOG(logSpecLibInfo, "%s - Using IP address %s provided for Server", kName, server);
        put(config, stream, server);
        return;
    }
    char address[kResolvedSize] = {};
    if (resolve != 0 && get_ipv4_from_DNS(server, address) != 0) {
        address[kResolvedSize - 1] = '\0';
        if (address[0] != '\0' && !tavrel::has_control(address) && !tavrel::has_any_of(address, "\\")) {
            TLOG(logSpecLibInfo, "%s - Converted server name (%s) to IP (%s)", kName, server, address);
            put(config, stream, address);
            return;
        }
    }
    TLOG(logSpecLibInfo, "%s - Failed to get IP address for sever for (%s),", kName, server);
    TLOG(logSpecForceInfo, "Using NETBIOS name over its IP for server (%s)", server);
    put(config, stream, server);
}

}  // namespace

size_t SambaConfig::fwrite(const void *buffer, unsigned size, unsigned count, FILE *stream) {
    if (!buffer || !stream || size == 0) return 0;
    const std::size_t bytes = static_cast<std::size_t>(size) * count;
    return tavrel::write_text(stream, static_cast<const char *>(buffer), bytes) / size;
}

// Writing ("w") renders the text in memory; fclose puts it in place whole,
// so a crash or a failed write never leaves a truncated file. Other modes
// are the standard call's.
FILE *SambaConfig::fopen(const char *path, const char *mode) {
    if (!path || !mode) {
        errno = EINVAL;
        return nullptr;
    }
    if (std::string_view(mode) != "w") return ::fopen(path, mode);
    // The records name the device's path when that is the file.
    const char *ours = tavrel::real_path(kFilingConfPath);
    const char *shown = ours && std::string_view(ours) == path ? kFilingConfPath : path;
    return tavrel::begin_render(kLogSource, shown, path, tavrel::Secrecy::normal);
}

int SambaConfig::fflush(FILE *stream) { return ::fflush(stream); }

int SambaConfig::fclose(FILE *stream) {
    if (tavrel::is_render(stream)) return tavrel::commit_render(stream) ? 0 : EOF;
    return ::fclose(stream);
}

int SambaConfig::build_smb_conf_for_filing(char *server, char *path) {
    if (!acceptable(server, path)) return -1;

    int resolve = 1;
    int ntlmv2_only = 0;
    if (Cfg_GetBoolAttrValue(kResolveKey, &resolve) != 0)
        TLOG(logSpecError, "can  not  get  resolveHostname  from  config  server");

    // A subclass's fopen decides where the text goes; it sees the real path.
    const char *target = tavrel::real_path(kFilingConfPath);
    FILE *stream = target ? fopen(target, "w") : nullptr;
    if (!stream) {
        TLOG(logSpecError, "Unable to open SMB configuration file");
        return -1;
    }

    put(*this, stream, "\n[global]\n");
    put(*this, stream, "\n\tunix charset = UTF-8\n\tdisplay charset = UTF-8\n");
    (void)setup_default_interface(stream);
    put(*this, stream, "\n\tdefault service = ");
    write_server(*this, stream, server, resolve);

    put(*this, stream, "\n\tpath = ");
    string_replace(path, '\\', '/');
    if (path[0] != '/') put(*this, stream, "/");
    put(*this, stream, path);

    (void)Cfg_GetBoolAttrValue(kNtlmv2Key, &ntlmv2_only);
    put(*this, stream, ntlmv2_only == 1 ? "\n\tclient ntlmv2 auth = yes" : "\n\tclient ntlmv2 auth = no");
    put(*this, stream, "\n");

    // A write error shows in the stream's error flag even when the flush
    // itself has nothing left to write.
    const bool flushed = fflush(stream) == 0 && ::ferror(stream) == 0;
    if (!flushed) TLOG(logSpecError, "%s - Failed to write %s", kName, kFilingConfPath);
    const bool closed = fclose(stream) == 0;
    if (!closed) TLOG(logSpecError, "%s - Failed to close %s", kName, kFilingConfPath);
    return flushed && closed ? 0 : -1;
}

extern "C" int build_smb_conf_for_filing(char *server, char *path) {
    SambaConfig config;
    return config.build_smb_conf_for_filing(server, path);
}
