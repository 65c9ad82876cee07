// The colours of the five pens, from X11's colour names as the options give
// them: a name from X's colour database (case and spaces ignored, so
// "Light Goldenrod Yellow" is "lightgoldenrodyellow"), or # and 3, 6, 9 or
// 12 hexadecimal digits, read as X reads them (#f00 is 240, 0, 0: each
// digit group is the top of a 16-bit value).
#pragma once

#include <cstdint>

// Where Debian keeps X's colour database.
constexpr const char X_COLOUR_DATABASE[] = "/usr/share/X11/rgb.txt";

// The colour name stands for, as 0xRRGGBB, looked up in database when it
// is not a # form; false for a name that neither knows (or a database that
// cannot be read).
bool read_colour(const char *name, std::uint32_t &rgb, const char *database = X_COLOUR_DATABASE);

// The pens' colours from the colour options, by pen: white background,
// black foreground, the inside as the background and the rim, hour and
// minutes as the foreground unless named; a name that is not known gives
// the default without a message.
void choose_colours(std::uint32_t colours[5], const char *database = X_COLOUR_DATABASE);
