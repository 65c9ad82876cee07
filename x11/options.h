// The command line of quadrix-x and the settings it fills.
#pragma once

#include "command_line.h"

// Settings: set by parse_options only, read-only once it has returned.
extern const char *geometry;  // X geometry text, or null
// border and interval: of the shared command line.
extern bool withdrawn;        // run as an icon window for a dock
extern bool root_mode;        // draw into the root window's background

// The X server to connect to, or null: the one DISPLAY names.
extern const char *display_name;

// What the window manager is told, or null for the program's name: the
// instance part of WM_CLASS, and the window's title.
extern const char *instance_name;
extern const char *title;

// The command line as given, argv[0] included, for WM_COMMAND.
extern int command_count;
extern char **command_words;

// The six colour names as given, or null: bg_name ... ic_name of the
// shared command line.

// The geometry that withdrawn mode always uses.
constexpr const char WITHDRAWN_GEOMETRY[] = "64x64+0+0";

// Puts every setting back to its initial value, then reads argv from its
// second entry on.  Ends the process on a bad command line, when -root
// comes with -w or -geometry, which name a window it does not have, and
// with status 0 after -help or -version.  Withdrawn mode replaces the
// geometry.
void parse_options(int argc, char **argv);

[[noreturn]] void usage();
