// What the clocks' command lines have in common: the values that mean the
// same in each, the smallest face they allow, and the output asked for by
// -help and -version.
#pragma once

// The word after the option at argv[index], which becomes the value
// whatever it looks like; "Missing argument for 'OPTION'" when there is
// none.  index moves on to the value.
const char *option_value(int argc, char **argv, int &index);

// The colour options of the clocks on screen, as given, or null: each names
// a colour in the window system's own way.
extern const char *bg_name;  // background and, by default, the inside
extern const char *fg_name;  // default of the rim, the hour and the minutes
extern const char *hc_name;  // hour marker
extern const char *mc_name;  // minute bars
extern const char *sc_name;  // rim of the square
extern const char *ic_name;  // inside of the square

// Puts every colour option back to null.
void clear_colour_options();

// When argv[index] is a colour option, stores the word after it as its
// value, moves index on to it and gives true.
bool take_colour_option(int argc, char **argv, int &index);

// Set by each program's own parse_options, read-only once it has returned.
extern int border;    // negative: chosen from the size
extern int interval;  // seconds between redraws, at least 1

// -border: 0 to 200, else "Value for -border out of range".
int read_border(const char *value);

// -interval: seconds between two redraws, at least 1.
int read_interval(const char *value);

// The smallest width and height the face accepts for the border asked for.
int minimum_size();

// A width or height as the face takes it: never below minimum_size(), so
// that a window made too small still gets a face, of which it shows part.
int at_least_minimum(int size);

// Writes the text made from format to standard output and ends the process
// with status 0; a write that fails ends it with status 1 and "Writing to
// standard output" with the reason.
[[noreturn]] void print_and_end(const char *format, ...) __attribute__((format(printf, 1, 2)));
