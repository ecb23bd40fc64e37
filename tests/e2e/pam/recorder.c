/* A PAM module that stands in for each device module of the smart-card stack.
 * Every call appends one line to the file named by TVR_PAM_RECORD:
 *   FUNCTION <TAB> ENTRY <TAB> ARGC { <TAB> ARG }
 * where ENTRY is the file name this copy was loaded from (one copy per stack
 * entry, so entries that name the same device module stay apart). It answers
 * success, or failure when ENTRY is listed in TVR_PAM_FAIL (space-separated). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <security/pam_modules.h>

static const char *entry_name(void) {
    Dl_info info;
    if (!dladdr((void *)&entry_name, &info) || !info.dli_fname) return "?";
    const char *slash = strrchr(info.dli_fname, '/');
    return slash ? slash + 1 : info.dli_fname;
}

static int told_to_fail(const char *entry) {
    const char *list = getenv("TVR_PAM_FAIL");
    if (!list) return 0;
    const size_t n = strlen(entry);
    for (const char *p = list; (p = strstr(p, entry)) != NULL; p += n)
        if ((p == list || p[-1] == ' ') && (p[n] == '\0' || p[n] == ' ')) return 1;
    return 0;
}

static int record(const char *function, int failure, int argc, const char **argv) {
    const char *entry = entry_name();
    const char *path = getenv("TVR_PAM_RECORD");
    FILE *out = path ? fopen(path, "a") : NULL;
    if (!out) return PAM_SYSTEM_ERR;
    fprintf(out, "%s\t%s\t%d", function, entry, argc);
    for (int i = 0; i < argc; ++i) fprintf(out, "\t%s", argv[i]);
    fputc('\n', out);
    fclose(out);
    return told_to_fail(entry) ? failure : PAM_SUCCESS;
}

/* Each service function records its call and answers as told. */
#define ENTRY(function, name, failure)                                                        \
    PAM_EXTERN int function(pam_handle_t *pamh, int flags, int argc, const char **argv) {    \
        (void)pamh, (void)flags;                                                              \
        return record(name, failure, argc, argv);                                             \
    }
ENTRY(pam_sm_authenticate, "auth", PAM_AUTH_ERR)
ENTRY(pam_sm_setcred, "setcred", PAM_CRED_ERR)
ENTRY(pam_sm_acct_mgmt, "account", PAM_PERM_DENIED)
