#include "options.h"

#include "host.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

const char *geometry;
int border;
int interval;
bool withdrawn;
bool root_mode;
const char *display_name;
const char *instance_name;
const char *title;
int command_count;
char **command_words;
const char *bg_name;
const char *fg_name;
const char *hc_name;
const char *mc_name;
const char *sc_name;
const char *ic_name;

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

// The options whose value is stored as text, in the order they are tried.
struct TextOption {
    const char *word;
    const char **setting;
};
constexpr TextOption text_options[] = {
    {"-geometry", &geometry}, {"-bg", &bg_name}, {"-fg", &fg_name},
    {"-hc", &hc_name},        {"-mc", &mc_name}, {"-sc", &sc_name},
    {"-ic", &ic_name},
    // The connection.
    {"-display", &display_name},
    // What the window manager is told.
    {"-name", &instance_name},
    {"-title", &title},
};

bool takes_value(const char *word) {
    if (std::strcmp(word, "-border") == 0 || std::strcmp(word, "-interval") == 0)
        return true;
    for (const TextOption &option : text_options)
        if (std::strcmp(word, option.word) == 0)
            return true;
    return false;
}

// Stores the value of the option word, which takes_value accepted.
void store_value(const char *word, const char *value) {
    if (std::strcmp(word, "-border") == 0) {
        border = read_number(value);
        if (border < 0 || border > 200)
            fatal_error("Value for -border out of range");
        return;
    }
    if (std::strcmp(word, "-interval") == 0) {
        interval = read_number(value);
        if (interval < 1)
            interval = 1;
        return;
    }
    for (const TextOption &option : text_options)
        if (std::strcmp(word, option.word) == 0)
            *option.setting = value;
}

// Ends the run once a text asked for is printed (printed is what printf
// returned): with status 0 when the whole text reached standard output,
// else with status 1 and why not.
[[noreturn]] void end_after_printing(int printed) {
    int error = printed < 0 ? errno : 0;
    if (std::fflush(stdout) != 0 && error == 0)
        error = errno;
    if (std::ferror(stdout) && error == 0)
        error = EIO;
    if (error != 0)
        fatal_error("Writing to standard output: %s", std::strerror(error));
    end_process(0);
}

// Asked for: the usage text on standard output.
[[noreturn]] void help() { end_after_printing(std::printf(usage_text, program_name)); }

[[noreturn]] void version() {
    end_after_printing(std::printf("quadrix-x %s\n", QUADRIX_VERSION));
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

    for (int i = 1; i < argc; i++) {
        const char *word = argv[i];
        if (takes_value(word)) {
            if (i + 1 == argc)
                fatal_error("Missing argument for '%s'", word);
            // The next word is the value whatever it looks like: -bg -w
            // names a colour "-w".
            store_value(word, argv[++i]);
        } else if (std::strcmp(word, "-w") == 0) {
            withdrawn = true;
        } else if (std::strcmp(word, "-root") == 0) {
            root_mode = true;
        } else if (std::strcmp(word, "-help") == 0 || std::strcmp(word, "--help") == 0) {
            help();
        } else if (std::strcmp(word, "-version") == 0 || std::strcmp(word, "--version") == 0) {
            version();
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
