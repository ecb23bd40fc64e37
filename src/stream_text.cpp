#include "stream_text.h"

namespace tavrel {

bool put_texts(FILE *stream, std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces)
        if (!put_text(stream, piece)) return false;
    return true;
}

}  // namespace tavrel
