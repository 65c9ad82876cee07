// Text for the window system as UTF-8, whatever the command line gave.
#pragma once

#include <cstddef>

// The length of the UTF-8 sequence that starts at text, or 0 when none
// does: overlong forms, surrogates and code points beyond U+10FFFF are not
// UTF-8.
std::size_t utf8_sequence(const unsigned char *text);

// A heap copy of text as UTF-8, which the caller frees: as given when it is
// UTF-8 already, else read as Latin-1.  Its length in bytes goes to
// length.
char *utf8_copy(const char *text, std::size_t *length);
