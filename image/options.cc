#include "options.h"

#include "host.h"
#include "ticks.h"

#include <cstdio>
#include <cstring>

int output_format;
int pen_rgb[5][3];
int image_width;
int image_height;
int image_border;
int verbose;
const char *output_path;

namespace {

// The scan: arg_cursor is the word consumed last, arg_count the number of
// words from it to the end, itself included.
char **arg_cursor;
int arg_count;

constexpr int initial_rgb[5][3] = {
    {255, 255, 255}, {255, 255, 255}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0},
};


// The word after the one under examination; the word under examination must
// not be the last.
const char *next_arg() {
    if (arg_count == 2)
        fatal_error("Missing argument for '%s'", arg_cursor[1]);
    arg_cursor++;
    arg_count--;
    return arg_cursor[1];
}

void check_colour(int pen, const char *name) {
    for (int component : pen_rgb[pen])
        if (component < 0 || component > 255)
            fatal_error("Invalid color for -%s", name);
}

void read_colour(int pen, const char *name) {
    for (int &component : pen_rgb[pen])
        component = read_number(next_arg());
    check_colour(pen, name);
}

void read_size(int &setting, const char *name) {
    setting = read_number(next_arg());
    if (setting < 21 || setting > MAX_IMAGE_SIZE)
        fatal_error("%s out of range, must be in [%i, %i]", name, 21, MAX_IMAGE_SIZE);
}

struct FormatOption {
    const char *word;
    int format;
};
constexpr FormatOption format_options[] = {
    {"-xbm", FORMAT_XBM}, {"-xpm", FORMAT_XPM}, {"-pbm", FORMAT_PBM},
    {"-ppm", FORMAT_PPM}, {"-bmp", FORMAT_BMP}, {"-bmpwin", FORMAT_BMPWIN},
    {"-png", FORMAT_PNG}, {"-svg", FORMAT_SVG},
};

struct ColourOption {
    const char *word;
    int pen;
};
constexpr ColourOption colour_options[] = {
    {"-bg", 0}, {"-ic", 1}, {"-sc", 2}, {"-hc", 3}, {"-mc", 4},
};

// Handles the option w; its values are read with next_arg.  Returns false
// when w names no option.
bool read_option(const char *w) {
    if (std::strcmp(w, "-border") == 0) {
        image_border = read_number(next_arg());
        if (image_border < 0 || image_border > 200)
            fatal_error("Value for -border out of range");
        return true;
    }
    if (std::strcmp(w, "-width") == 0) {
        read_size(image_width, "width");
        return true;
    }
    if (std::strcmp(w, "-height") == 0) {
        read_size(image_height, "height");
        return true;
    }
    for (const FormatOption &option : format_options)
        if (std::strcmp(w, option.word) == 0) {
            output_format = option.format;
            return true;
        }
    for (const ColourOption &option : colour_options)
        if (std::strcmp(w, option.word) == 0) {
            read_colour(option.pen, option.word + 1);
            return true;
        }
    if (std::strcmp(w, "-q") == 0) {
        verbose = 0;
        return true;
    }
    return false;
}

}  // namespace

const char usage_text[] =
    "\n"
    "Quadrantine -- version 1.0b\n"
    "create image file\n"
    "\n"
    "Usage: %s <filename> [options] [<hour> <minute> <second>]\n"
    "\n"
    "<filename> : use - for stdout\n"
    "\n"
    "If no time is specified, the current time will be used\n"
    "\n"
    "options:\n"
    "-border <int> : border width\n"
    "-width <int> : width\n"
    "-height <int> : height\n"
    "-xbm : create XBM image file\n"
    "-xpm : create XPM image file\n"
    "-pbm : create PBM image file\n"
    "-ppm : create PPM image file\n"
    "-bmp : create BMP image file\n"
    "-bmpwin : create BMP Windows image file\n"
    "-png : create PNG image file\n"
    "-svg : create SVG image file\n"
    "-bg <red> <green <blue> : set background colour\n"
    "-hc <red> <green <blue> : set colour for hours\n"
    "-mc <red> <green <blue> : set colour for minutes\n"
    "-sc <red> <green <blue> : set border colour for square\n"
    "-ic <red> <green <blue> : set inside colour for square\n"
    "-q : quiet\n"
    "<red>, <green>, <blue> must be 0 - 255\n"
    "\n";

void usage() {
    std::fprintf(stderr, usage_text, program_name);
    end_process(1);
}

void start_options(int argc, char **argv) {
    output_format = FORMAT_PPM;
    std::memcpy(pen_rgb, initial_rgb, sizeof pen_rgb);
    image_width = 80;
    image_height = 80;
    image_border = -1;
    verbose = 1;
    output_path = nullptr;
    arg_cursor = argv;
    arg_count = argc;
}

void parse_options() {
    if (arg_count <= 1)
        usage();
    const char *name = arg_cursor[1];
    if (name[0] == '-') {
        if (name[1] != '\0')
            usage();  // an option cannot stand in for the file name
    } else {
        output_path = name;
    }
    arg_cursor++;
    arg_count--;

    while (arg_count >= 2) {
        const char *w = arg_cursor[1];
        if (w[0] != '-')
            return;  // the first time word
        if (!read_option(w))
            usage();
        arg_cursor++;
        arg_count--;
    }
}

void time_to_show(int &hour, int &minute, int &second) {
    if (arg_count == 4) {
        // Taken modulo as unsigned numbers: a minute of -1 is 15.
        hour = static_cast<int>(static_cast<unsigned>(read_number(arg_cursor[1])) % 24);
        minute = static_cast<int>(static_cast<unsigned>(read_number(arg_cursor[2])) % 60);
        second = static_cast<int>(static_cast<unsigned>(read_number(arg_cursor[3])) % 60);
    } else if (arg_count == 1) {
        read_local_time(hour, minute, second);
    } else {
        usage();
    }
}
