/* A program built against an installed tavrel with find_package: a realm
 * name upper-cased and remembered, and a domain compared, through the
 * library's setters. */
#include <stdio.h>
#include <string.h>

#include <tavrel/tavrel.h>

int main(void) {
    char realm[] = "corp.example";
    upcase(realm);
    if (sm_set_new_realm_name(realm) != 1 || strcmp(sm_get_new_realm_name(), "CORP.EXAMPLE") != 0) {
        fprintf(stderr, "find_package consumer: the realm was not remembered\n");
        return 1;
    }
    if (sm_set_current_domain_name("CORP") != 1) return 1;
    printf("find_package consumer: remembered realm %s; current domain is CORP: %s\n", sm_get_new_realm_name(),
           sm_compare_current_domain_name("CORP") ? "yes" : "no");
    return 0;
}
