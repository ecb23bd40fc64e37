/* /etc/krb5.conf: from the stored settings of the Kerberos services, or from
 * settings the caller gives. Builders return 1 when the file was written. */
#ifndef TAVREL_KERBEROS_CONFIG_H
#define TAVREL_KERBEROS_CONFIG_H

#include <stdint.h>
#include <stdio.h>

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

#define KRB_SETTINGS_REALM_SIZE 256
#define KRB_SETTINGS_HOSTNAME_SIZE 256
#define KRB_SETTINGS_IP_ADDRESS_SIZE 40

/* A KDC and its backup as the caller knows them. Text fields are
 * NUL-terminated inside their arrays; an empty text means "not given", and an
 * IP address (without port) wins over a host name. Field order and widths are
 * part of the interface. */
typedef struct krb_server_settings {
    char realm[KRB_SETTINGS_REALM_SIZE]; /* upper-cased in place by the builder */
    char kdc_hostname[KRB_SETTINGS_HOSTNAME_SIZE];
    char kdc_ip_address[KRB_SETTINGS_IP_ADDRESS_SIZE];
    int32_t kdc_port;
    char backup_kdc_hostname[KRB_SETTINGS_HOSTNAME_SIZE];
    char backup_kdc_ip_address[KRB_SETTINGS_IP_ADDRESS_SIZE];
    int32_t backup_kdc_port;
} krb_server_settings;

/* From the settings of services 1 to 9; the default realm written becomes the
 * current realm. */
TAVREL_API int build_krb5_conf(void);

/* Writes the default_tkt_enctypes and default_tgs_enctypes lines unless the
 * device runs in FIPS mode; the result carries no meaning. */
TAVREL_API int cf_write_out_kerberos_encrypt_types(FILE *file);

/* The three caller-driven builders leave the no-name marker as the current
 * realm once they have started the file. */
TAVREL_API int cf_build_krb_conf_with_XML_data(krb_server_settings *settings);
/* The realm's own name is resolved and used as its KDC. */
TAVREL_API int cf_build_krb_config_file_with_realm_only(char *realm);
/* The realm with the stored KDCs of service 1 to 9; realm is upper-cased in place. */
TAVREL_API int cf_build_krb_conf_file_with_this(char *realm, int service);

TAVREL_END_DECLS

#endif
