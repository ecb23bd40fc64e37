/* Runs a service's auth and account stacks through Linux-PAM, reading the
 * service file from a private directory instead of /etc/pam.d:
 *   tvr-pam-stack CONFDIR SERVICE USER
 * prints "auth CODE NAME" and "account CODE NAME" (Linux-PAM's result and its
 * text); exits 0 when both calls could be made. What Linux-PAM logs about the
 * file (an illegal line, a module it cannot load) goes to standard error too. */
#include <stdio.h>
#include <syslog.h>

#include <security/pam_appl.h>

/* The stand-in modules never ask; a real conversation is not needed. */
static int no_conversation(int n, const struct pam_message **msg, struct pam_response **resp, void *data) {
    (void)n, (void)msg, (void)resp, (void)data;
    return PAM_CONV_ERR;
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s CONFDIR SERVICE USER\n", argv[0]);
        return 2;
    }
    openlog("tvr-pam-stack", LOG_PERROR, LOG_AUTHPRIV);
    const struct pam_conv conv = {no_conversation, NULL};
    pam_handle_t *pamh = NULL;
    int rc = pam_start_confdir(argv[2], argv[3], &conv, argv[1], &pamh);
    if (rc != PAM_SUCCESS) {
        fprintf(stderr, "pam_start_confdir: %s\n", pam_strerror(pamh, rc));
        return 1;
    }
    rc = pam_authenticate(pamh, 0);
    printf("auth %d %s\n", rc, pam_strerror(pamh, rc));
    rc = pam_acct_mgmt(pamh, 0);
    printf("account %d %s\n", rc, pam_strerror(pamh, rc));
    pam_end(pamh, rc);
    return 0;
}
