#include "utf8.h"

#include "host.h"

#include <cstring>

std::size_t utf8_sequence(const unsigned char *text) {
    const unsigned char lead = text[0];
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0)
            low = 0xa0;
        else if (lead == 0xed)
            high = 0x9f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0)
            low = 0x90;
        else if (lead == 0xf4)
            high = 0x8f;
    } else {
        return 0;
    }
    if (text[1] < low || text[1] > high)
        return 0;
    for (std::size_t i = 2; i < length; i++)
        if (text[i] < 0x80 || text[i] > 0xbf)
            return 0;
    return length;
}

char *utf8_copy(const char *text, std::size_t *length) {
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(text);
    bool valid = true;
    for (std::size_t i = 0; bytes[i] != 0 && valid;) {
        const std::size_t step = utf8_sequence(bytes + i);
        valid = step > 0;
        i += step;
    }
    // Latin-1 takes at most two bytes a character.
    const std::size_t given = std::strlen(text);
    char *copy = static_cast<char *>(xmalloc(valid ? given + 1 : 2 * given + 1));
    if (valid) {
        std::memcpy(copy, text, given + 1);
        *length = given;
        return copy;
    }
    std::size_t out = 0;
    for (const unsigned char *p = bytes; *p != 0; p++) {
        if (*p < 0x80) {
            copy[out++] = static_cast<char>(*p);
        } else {
            copy[out++] = static_cast<char>(0xc0 | (*p >> 6));
            copy[out++] = static_cast<char>(0x80 | (*p & 0x3f));
        }
    }
    copy[out] = '\0';
    *length = out;
    return copy;
}
