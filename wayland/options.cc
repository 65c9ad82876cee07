#include "options.h"

#include "command_line.h"
#include "host.h"

#include <climits>
#include <cstdio>
#include <cstring>

int window_width;
int window_height;
bool background;
std::vector<const char *> output_names;
const char *display_name;
const char *window_app_id;
const char *window_title;

namespace {

const char usage_text[] =
    "\nQuadrantine -- version 1.0d\n"
    "\nUsage: %s [-geometry <width>x<height>] [-border <borderwidth>]\n"
    "\t[-interval <seconds>]\n"
    "\t[-bg <colour>] [-fg <colour>]\n"
    "\t[-hc <colour>] [-mc <colour>] [-sc <colour>] [-ic <colour>]\n"
    "\t[-background] [-output <name>]\n"
    "\t[-display <name>]\n"
    "\t[-name <name>] [-title <text>]\n"
    "\t[-help] [-version]\n"
    "\n"
    "\t-background : the clock as the background of every output\n"
    "\t-output : only on the output of that name (repeatable)\n"
    "\n";

constexpr int DEFAULT_SIZE = 80;

const char *geometry;

// Reads the digits at text as a size, saturating at INT_MAX; false when
// there are none.
bool read_digits(const char *&text, int &value) {
    if (*text < '0' || *text > '9')
        return false;
    long long read = 0;
    for (; *text >= '0' && *text <= '9'; text++)
        if (read < INT_MAX)
            read = read * 10 + (*text - '0');
    value = read > INT_MAX ? INT_MAX : static_cast<int>(read);
    return true;
}

bool read_offset(const char *&text) {
    int ignored = 0;
    if (*text != '+' && *text != '-')
        return false;
    text++;
    return read_digits(text, ignored);
}

// Brings a size asked for into the range the window can have.
int limited(int size) {
    size = at_least_minimum(size);
    return size > LARGEST_WINDOW ? LARGEST_WINDOW : size;
}

[[noreturn]] void help() { print_and_end(usage_text, program_name); }

[[noreturn]] void version() { print_and_end("quadrix-wayland %s\n", QUADRIX_VERSION); }

bool is(const char *word, const char *option) { return std::strcmp(word, option) == 0; }

}  // namespace

bool read_geometry(const char *text, int &width, int &height) {
    int new_width = width;
    int new_height = height;
    if (*text == '=')
        text++;
    read_digits(text, new_width);
    if (*text == 'x' || *text == 'X') {
        text++;
        if (!read_digits(text, new_height))
            return false;
    }
    if (*text != '\0' && !(read_offset(text) && read_offset(text)))
        return false;
    if (*text != '\0')
        return false;
    width = new_width;
    height = new_height;
    return true;
}

void usage() {
    std::fprintf(stderr, usage_text, program_name);
    end_process(1);
}

void parse_options(int argc, char **argv) {
    geometry = nullptr;
    border = -1;
    interval = 10;
    background = false;
    output_names.clear();
    display_name = nullptr;
    window_app_id = nullptr;
    window_title = nullptr;
    clear_colour_options();

    for (int i = 1; i < argc; i++) {
        const char *word = argv[i];
        if (take_colour_option(argc, argv, i))
            continue;
        if (is(word, "-display"))
            display_name = option_value(argc, argv, i);
        else if (is(word, "-name"))
            window_app_id = option_value(argc, argv, i);
        else if (is(word, "-title"))
            window_title = option_value(argc, argv, i);
        else if (is(word, "-geometry"))
            geometry = option_value(argc, argv, i);
        else if (is(word, "-border"))
            border = read_border(option_value(argc, argv, i));
        else if (is(word, "-interval"))
            interval = read_interval(option_value(argc, argv, i));
        else if (is(word, "-output"))
            output_names.push_back(option_value(argc, argv, i));
        else if (is(word, "-background"))
            background = true;
        else if (is(word, "-help") || is(word, "--help"))
            help();
        else if (is(word, "-version") || is(word, "--version"))
            version();
        else
            usage();
    }
    // The outputs decide the size of a background.
    if (background && geometry != nullptr)
        fatal_error("-background cannot be used with -geometry");
    if (!background && !output_names.empty())
        fatal_error("-output cannot be used without -background");

    // A geometry that cannot be read is ignored, as X programs do.
    int width = DEFAULT_SIZE;
    int height = DEFAULT_SIZE;
    if (geometry != nullptr)
        read_geometry(geometry, width, height);
    window_width = limited(width);
    window_height = limited(height);
}
