// What may stand as one word of a krb5.conf: a realm, a KDC host name, an
// address or a port text. Every Kerberos builder asks this one rule, so the
// files cannot drift apart.
#pragma once

#include <string_view>

#include "text.h"

namespace tavrel {

enum class Krb5Token {
    realm,  // also opens its block ("\tREALM = {"), so it may not open a section
    kdc,    // a host name or an address; an IPv6 address may stand in brackets
};

// True when the text keeps its line one relation: no blank or control
// character to split it, no brace, quote or '#' to open a block, a string or
// a comment, no '=' to start another relation, no leading ';' (a comment
// line) and, for a realm, no leading '[' (a section) and no trailing '*'
// (MIT reads a tag that ends in it as a final relation of the name without).
inline constexpr ByteSet kNotInKrb5Token = ByteSet::controls_and(" {}\"#=");

constexpr bool is_krb5_token(std::string_view text, Krb5Token kind) {
    if (kNotInKrb5Token.any_in(text)) return false;
    if (text.starts_with(';')) return false;
    return kind != Krb5Token::realm || (!text.starts_with('[') && !text.ends_with('*'));
}

}  // namespace tavrel
