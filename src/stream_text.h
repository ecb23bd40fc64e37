// Text into a stream piece by piece, unformatted. The render streams are
// unbuffered, and stdio's formatted output on an unbuffered stream stages
// every call in an 8 KiB buffer on the stack; plain writes need none.
#pragma once

#include <stdio.h>

#include <initializer_list>
#include <string_view>

#include "file_output.h"

namespace tavrel {

// True when every byte went out.
inline bool put_text(FILE *stream, std::string_view text) {
    return write_text(stream, text.data(), text.size()) == text.size();
}

// The pieces in order; false at the first that does not go out whole.
bool put_texts(FILE *stream, std::initializer_list<std::string_view> pieces);

}  // namespace tavrel
