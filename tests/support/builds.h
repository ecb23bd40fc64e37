// The builders as the tests call them. The Kerberos builders upper-case the
// caller's realm in place once the file is written: each call works on its
// own copy, and the copy is checked.
#pragma once

#include <cctype>

#include "tavrel_test.h"

namespace tavrel_test::builds {

using Build = std::function<unsigned()>;

template <typename Build>
int with_realm(const char *realm, Build build) {
    std::string copy = realm ? realm : "";
    const int result = build(realm ? copy.data() : nullptr);
    EXPECT_TRUE(result != 1 || std::ranges::none_of(copy, [](unsigned char ch) { return std::islower(ch); })) << copy;
    return result;
}
inline int realm_only(const char *realm) { return with_realm(realm, cf_build_krb_config_file_with_realm_only); }
inline int with_service(const char *realm, int service) {
    return with_realm(realm, [=](char *r) { return cf_build_krb_conf_file_with_this(r, service); });
}
inline int cac(const char *realm, const char *kdc, int port = 88, int win2k = 0) {
    return with_realm(realm, [=](char *r) { return cf_build_krb_conf_file_for_CAC(r, kdc, port, win2k); });
}
inline int record(krb_server_settings r) { return cf_build_krb_conf_with_XML_data(&r); }

inline unsigned open_net(CF_IO_Wireless_Params p) { return cf_build_wireless_nosecurity_8021x_conf_for_authentication(&p); }
inline unsigned personal(CF_IO_Wireless_Params p) { return cf_build_wireless_personal_8021x_conf_for_authentication(&p); }
inline unsigned wep(const char *key, int32_t key_is_hex = 0) {
    const CF_IO_WEP_Params p{"office", CF_IO_SECMODE_WEP, key, 7, 8, 9, key_is_hex};
    return cf_build_wireless_wep_8021x_conf_for_authentication(&p);
}
inline unsigned dot1x(CF_IO_8021x_Params p) { return cf_build_enterprise_8021x_conf_for_authentication(&p); }
// The enterprise record with every optional field present.
inline CF_IO_8021x_Params full(int32_t interface, uint32_t method) {
    return {interface, "corp", 5, 1, method, "alice", "pw-secret-1", "anon", "/c/ca.pem", "/c/cl.pem", "/c/k.pem",
            "kp-secret-2"};
}
// A build of the wired record (by default PEAP) after one change.
inline Build enterprise(std::function<void(CF_IO_8021x_Params &)> change, uint32_t method = CF_IO_EAP_PEAP_MSCHAPV2) {
    return [=] {
        CF_IO_8021x_Params p = full(CF_IO_IFACE_WIRED, method);
        change(p);
        return dot1x(p);
    };
}

}  // namespace tavrel_test::builds
