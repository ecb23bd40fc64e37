/* A program built against an installed tavrel, once with pkg-config
 * (tavrel-host brings the library and the host platform) and once with
 * find_package. It writes the smart-card krb5.conf under the root given as
 * its argument and prints its KDC line, then remembers the realm the
 * builder upper-cased and prints it back. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <tavrel/tavrel.h>

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s ROOT\n", argv[0]);
        return 2;
    }
    char path[4096];
    const char *dirs[] = {"/usr", "/usr/heimdal", "/usr/heimdal/etc"};
    for (size_t i = 0; i < sizeof dirs / sizeof dirs[0]; ++i) {
        snprintf(path, sizeof path, "%s%s", argv[1], dirs[i]);
        mkdir(path, 0755);
    }
    if (setenv("TAVREL_ROOT", argv[1], 1) != 0) return 1;

    char realm[] = "corp.example";
    if (cf_build_krb_conf_file_for_CAC(realm, "dc1.corp.example", 88, 0) != 1) {
        fprintf(stderr, "consumer: cf_build_krb_conf_file_for_CAC failed\n");
        return 1;
    }
    snprintf(path, sizeof path, "%s/usr/heimdal/etc/krb5.conf", argv[1]);
    FILE *file = fopen(path, "r");
    if (!file) return 1;
    char line[256];
    int found = 0;
    while (!found && fgets(line, sizeof line, file))
        found = strncmp(line + strspn(line, "\t "), "kdc = ", 6) == 0;
    fclose(file);
    if (!found || sm_set_new_realm_name(realm) != 1) return 1;
    printf("consumer: /usr/heimdal/etc/krb5.conf has %s", line + strspn(line, "\t "));
    printf("consumer: remembered realm %s\n", sm_get_new_realm_name());
    return 0;
}
