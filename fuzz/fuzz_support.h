// What the fuzz targets share: a private root for the files the builders
// write, and the invariants every run must keep. A broken invariant prints
// what broke and aborts, which libFuzzer reports as a finding with its input.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// Makes the private root once (TAVREL_ROOT, the directories the library
// writes into) and turns on the host logger's capture; echo stays quiet.
const std::string &root();

// The kinds of file the library writes, each with its own structure.
enum class Format { smb, krb5, pam, supplicant };

struct Target {
    const char *fixed_path;
    Format format;
    bool secret;          // written 0600
    bool may_be_removed;  // a failed build may remove it instead of keeping it
};

// The previous text every target starts a run with.
std::string previous_text(const Target &target);
// Puts each target's previous text in place (mode 0600), and nothing else
// in their directories.
void put_previous(const std::vector<Target> &targets);

[[noreturn]] void broken(const std::string &what, const std::string &detail = "");

// After a build of target that answered ok: its file keeps its structure,
// and a secret file is 0600. After a failed one: the previous text is there
// byte for byte (or the file is gone, where that is allowed).
void check_target(const Target &target, bool ok);
// No temporary file beside the target.
void check_no_strays(const Target &target);
// No secret appears in any record logged, as given or in hex, unless a text
// that is no secret (a user name, say, which is logged by design) holds it.
void check_secrets_not_logged(const std::vector<std::string> &secrets, const std::vector<std::string> &open_texts);
// No secret, as given or in hex, is left in the library's writable memory
// (before: that memory as tavrel_test::library_memory() copied it before the
// build, which may hold an earlier run's remembered text that spells it),
// unless a text that is no secret holds it.
void check_secrets_wiped(const std::vector<std::string> &secrets, const std::vector<std::string> &open_texts,
                         const std::string &before);
// Every service-monitor record handed out was returned, once.
void check_records_returned();

// The structure checks by themselves, on a file's text.
void check_structure(Format format, std::string_view text, const std::string &name);

}  // namespace fuzz
