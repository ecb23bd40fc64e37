/* Supplicant configuration (wpa_supplicant.conf) for the wired interface
 * (eth0, enterprise 802.1X only) and the wireless one (wlan0: open, WEP,
 * personal and enterprise networks).
 *
 * Each builder takes one caller record. The record and every text it points
 * to stay the caller's: they are read during the call only, never kept or
 * freed. A text field may be null; each builder says what it makes of a null
 * or an empty text. Results: 1 when the file was written whole, 0 otherwise;
 * after a failure the previous file (or its absence) is left as it was.
 * The files are created readable by their owner only: they hold secrets. */
#ifndef TAVREL_8021X_CONFIG_H
#define TAVREL_8021X_CONFIG_H

#include <stdint.h>

#include "tavrel/export.h"

TAVREL_BEGIN_DECLS

#define CF_IO_WIRED_CONF_PATH "/etc/wpa_supplicant/eth0/wpa_supplicant.conf"
#define CF_IO_WIRELESS_CONF_PATH "/etc/wpa_supplicant/wlan0/wpa_supplicant.conf"

/* Wireless security mode: which key_mgmt (and proto) lines are written.
 * Codes above 5 are refused. */
typedef uint32_t CF_IO_SECMODE_Type;
enum {
    CF_IO_SECMODE_NONE = 0,     /* key_mgmt=NONE */
    CF_IO_SECMODE_WEP = 1,      /* key_mgmt=NONE */
    CF_IO_SECMODE_WPA_PSK = 2,  /* key_mgmt=WPA-PSK, proto=RSN WPA */
    CF_IO_SECMODE_WPA2_PSK = 3, /* key_mgmt=WPA-PSK, proto=RSN */
    CF_IO_SECMODE_WPA_EAP = 4,  /* key_mgmt=WPA-EAP, proto=RSN WPA */
    CF_IO_SECMODE_WPA2_EAP = 5  /* key_mgmt=WPA-EAP, proto=RSN */
};

/* Wireless encryption mode: the pairwise cipher (group is always
 * "CCMP TKIP"). Any other code is refused. */
typedef int32_t CF_IO_ENCMODE_Type;
enum {
    CF_IO_ENCMODE_TKIP = 0,     /* pairwise=TKIP */
    CF_IO_ENCMODE_AES = 1,      /* pairwise=CCMP */
    CF_IO_ENCMODE_CCMP = 2,     /* pairwise=CCMP */
    CF_IO_ENCMODE_TKIP_AES = 3  /* pairwise=CCMP TKIP */
};

/* Interface of an enterprise record. */
typedef int32_t CF_IO_IFACE_Type;
enum { CF_IO_IFACE_WIRED = 0, CF_IO_IFACE_WIRELESS = 1 };

/* EAP method of an enterprise record; codes above 7 are refused. */
typedef uint32_t CF_IO_EAP_Type;
enum {
    CF_IO_EAP_MD5 = 0,
    CF_IO_EAP_PEAP_MSCHAPV2 = 1,
    CF_IO_EAP_TLS = 2,
    CF_IO_EAP_MSCHAPV2 = 3,
    CF_IO_EAP_LEAP = 4,
    CF_IO_EAP_TTLS_PAP = 5,
    CF_IO_EAP_TTLS_MSCHAPV2 = 6,
    CF_IO_EAP_TTLS_TLS = 7
};

/* Which key names a certificate line uses: the inner (phase 2) ones carry a
 * 2 ("ca_cert2"), the outer ones do not. */
typedef int32_t CF_IO_EAPMODE_Type;
enum { CF_IO_EAPMODE_INNER = 0, CF_IO_EAPMODE_OUTER = 1 };

/* Open and personal networks. */
typedef struct CF_IO_Wireless_Params {
    const char *ssid;
    CF_IO_SECMODE_Type sec_mode;
    CF_IO_ENCMODE_Type enc_mode; /* personal only */
    const char *psk;             /* personal only */
} CF_IO_Wireless_Params;

/* WEP networks. */
typedef struct CF_IO_WEP_Params {
    const char *ssid;
    CF_IO_SECMODE_Type sec_mode;
    const char *wep_key;
    /* Not read by the builder; the caller's own. */
    int32_t reserved1;
    int32_t reserved2;
    int32_t reserved3;
    int32_t key_is_hex; /* 0: wep_key is text; otherwise hex digits */
} CF_IO_WEP_Params;

/* Enterprise (802.1X) networks, wired or wireless. */
typedef struct CF_IO_8021x_Params {
    CF_IO_IFACE_Type interface;
    const char *ssid;            /* wireless only */
    CF_IO_SECMODE_Type sec_mode; /* wireless only */
    CF_IO_ENCMODE_Type enc_mode; /* wireless only */
    CF_IO_EAP_Type eap_type;
    const char *user_name;
    const char *password;
    const char *outer_identity;
    const char *ca_cert;
    const char *client_cert;
    const char *private_key;
    const char *private_key_passwd;
} CF_IO_8021x_Params;

TAVREL_API unsigned int cf_build_wireless_nosecurity_8021x_conf_for_authentication(
    const CF_IO_Wireless_Params *params);
TAVREL_API unsigned int cf_build_wireless_wep_8021x_conf_for_authentication(const CF_IO_WEP_Params *params);
TAVREL_API unsigned int cf_build_wireless_personal_8021x_conf_for_authentication(
    const CF_IO_Wireless_Params *params);
TAVREL_API unsigned int cf_build_enterprise_8021x_conf_for_authentication(const CF_IO_8021x_Params *params);

TAVREL_END_DECLS

#endif
