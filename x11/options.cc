#include "options.h"

#include "command_line.h"
#include "host.h"

#include <cstdio>
#include <cstring>

const char *geometry;
bool withdrawn;
bool root_mode;
const char *display_name;
const char *instance_name;
const char *title;
int command_count;
char **command_words;

namespace {

const char usage_text[] =
    "\nQuadrantine -- version 1.0d\n"
    "\nUsage: %s [-geometry <geo>] [-border <borderwidth>]\n"
    "\t[-interval <seconds>]\n"
    "\t[-bg <colour>] [-fg <colour>]\n"
    "\t[-hc <colour>] [-mc <colour>] [-sc <colour>] [-ic <colour>]\n"
    "\t[-w]\n"
    "\t[-root]\n"
    "\t[-display <name>]\n"
    "\t[-name <name>] [-title <text>]\n"
    "\t[-help] [-version]\n"
    "\n"
    "\t-w : withdrawn state (for use as docked application)\n"
    "\t-root : the clock as the desktop background\n"
    "\t        (a face of its own on each monitor)\n"
    "\n";

// The options whose value is stored as text, besides the colours.
struct TextOption {
    const char *word;
    const char **setting;
};
constexpr TextOption text_options[] = {
    {"-geometry", &geometry},
    // The connection.
    {"-display", &display_name},
    // What the window manager is told.
    {"-name", &instance_name},
    {"-title", &title},
};

// Stores the value of a text option when argv[index] is one, and moves
// index on to it.
bool take_text_option(int argc, char **argv, int &index) {
    for (const TextOption &option : text_options)
        if (std::strcmp(argv[index], option.word) == 0) {
            *option.setting = option_value(argc, argv, index);
            return true;
        }
    return false;
}

}  // namespace

void usage() {
    std::fprintf(stderr, usage_text, program_name);
    end_process(1);
}

void parse_options(int argc, char **argv) {
    geometry = nullptr;
    border = -1;
    interval = 10;
    withdrawn = false;
    command_count = argc;
    command_words = argv;
    root_mode = false;
    for (const TextOption &option : text_options)
        *option.setting = nullptr;
    clear_colour_options();

    // The word after an option that takes a value is the value whatever it
    // looks like: -bg -w names a colour "-w".
    for (int i = 1; i < argc; i++) {
        const char *word = argv[i];
        if (take_colour_option(argc, argv, i) || take_text_option(argc, argv, i))
            continue;
        if (std::strcmp(word, "-border") == 0) {
            border = read_border(option_value(argc, argv, i));
        } else if (std::strcmp(word, "-interval") == 0) {
            interval = read_interval(option_value(argc, argv, i));
        } else if (std::strcmp(word, "-w") == 0) {
            withdrawn = true;
        } else if (std::strcmp(word, "-root") == 0) {
            root_mode = true;
        } else if (std::strcmp(word, "-help") == 0 || std::strcmp(word, "--help") == 0) {
            // Asked for: the usage text on standard output.
            print_and_end(usage_text, program_name);
        } else if (std::strcmp(word, "-version") == 0 || std::strcmp(word, "--version") == 0) {
            print_and_end("quadrix-x %s\n", QUADRIX_VERSION);
        } else {
            usage();
        }
    }
    // The background has the screen's size and place, and no window to
    // withdraw.
    if (root_mode && withdrawn)
        fatal_error("-root cannot be used with -w");
    if (root_mode && geometry != nullptr)
        fatal_error("-root cannot be used with -geometry");
    if (withdrawn)
        geometry = WITHDRAWN_GEOMETRY;
}
