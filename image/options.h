// The command line of quadrix-image and the settings it fills.
#pragma once

enum {
    FORMAT_XBM = 0,
    FORMAT_XPM = 1,
    FORMAT_PBM = 2,
    FORMAT_PPM = 3,
    FORMAT_BMP = 4,     // BMP with the OS/2 core header
    FORMAT_BMPWIN = 5,  // BMP with the Windows information header
    FORMAT_PNG = 6,
    FORMAT_SVG = 7,
};

// The largest width and height accepted: room for 8K wallpapers.
constexpr int MAX_IMAGE_SIZE = 8192;

// Settings: set by parse_options only, read-only once it has returned.
extern int output_format;
extern int pen_rgb[5][3];  // red, green, blue for each pen
extern int image_width;
extern int image_height;
extern int image_border;   // negative: chosen from the size
extern int verbose;
extern const char *output_path;  // null: standard output

// Puts every setting back to its initial value and starts a new scan of
// argc words at argv (argv[0] counts as consumed).
void start_options(int argc, char **argv);

// Reads the file name and the options; ends the process on a bad command
// line.  Stops at the first word that does not start with "-".
void parse_options();

// The time given by the three words after the options, or the local time
// when none remain; any other count of words is a usage error.
void time_to_show(int &hour, int &minute, int &second);

// The usage text, with a %s for the program's name.
extern const char usage_text[];

[[noreturn]] void usage();
