// The command line of quadrix-wayland and the settings it fills.
#pragma once

#include "command_line.h"  // border, interval, the colour options, the smallest face

#include <vector>

// The largest width and height a window asks for.
constexpr int LARGEST_WINDOW = 8192;

// Settings: set by parse_options only, read-only once it has returned.
extern int window_width;    // asked for when the compositor leaves the size
extern int window_height;   // to the clock; 80 by 80 by default
extern bool background;     // a background surface on every output
// With -background: the outputs to cover, as -output named them; empty
// for every output.
extern std::vector<const char *> output_names;

// The Wayland display to connect to, or null: the one WAYLAND_DISPLAY
// names.
extern const char *display_name;

// The window's app_id and title, or null for the program's name.
extern const char *window_app_id;
extern const char *window_title;

// Puts every setting back to its initial value, then reads argv from its
// second entry on.  Ends the process on a bad command line, when
// -background comes with -geometry or -output without -background, and
// with status 0 after -help or -version.
void parse_options(int argc, char **argv);

// Reads the size part of a geometry in X's form, [=][W][xH][{+-}X{+-}Y],
// into width and height, each only when given; false, leaving both as they
// were, for a text that is not a geometry.  Offsets are read and ignored.
bool read_geometry(const char *text, int &width, int &height);

[[noreturn]] void usage();
