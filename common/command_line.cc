#include "command_line.h"

#include "host.h"
#include "quadface.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

int border;
int interval;
const char *bg_name;
const char *fg_name;
const char *hc_name;
const char *mc_name;
const char *sc_name;
const char *ic_name;

namespace {

struct ColourOption {
    const char *word;
    const char **setting;
};
constexpr ColourOption colour_options[] = {
    {"-bg", &bg_name}, {"-fg", &fg_name}, {"-hc", &hc_name},
    {"-mc", &mc_name}, {"-sc", &sc_name}, {"-ic", &ic_name},
};

}  // namespace

void clear_colour_options() {
    for (const ColourOption &option : colour_options)
        *option.setting = nullptr;
}

bool take_colour_option(int argc, char **argv, int &index) {
    for (const ColourOption &option : colour_options)
        if (std::strcmp(argv[index], option.word) == 0) {
            *option.setting = option_value(argc, argv, index);
            return true;
        }
    return false;
}

const char *option_value(int argc, char **argv, int &index) {
    if (index + 1 >= argc)
        fatal_error("Missing argument for '%s'", argv[index]);
    return argv[++index];
}

int read_border(const char *value) {
    const int pixels = read_number(value);
    if (pixels < 0 || pixels > 200)
        fatal_error("Value for -border out of range");
    return pixels;
}

int read_interval(const char *value) {
    const int seconds = read_number(value);
    return seconds < 1 ? 1 : seconds;
}

int minimum_size() { return border > 0 ? 2 * border + FACE_MIN_SIZE : FACE_MIN_SIZE; }

int at_least_minimum(int size) { return size < minimum_size() ? minimum_size() : size; }

void print_and_end(const char *format, ...) {
    std::clearerr(stdout);
    va_list args;
    va_start(args, format);
    errno = 0;
    const int written = std::vprintf(format, args);
    va_end(args);
    int error = written < 0 ? (errno != 0 ? errno : EIO) : 0;
    if (std::fflush(stdout) != 0 && error == 0)
        error = errno;
    if (std::ferror(stdout) && error == 0)
        error = EIO;
    if (error != 0)
        fatal_error("Writing to standard output: %s", std::strerror(error));
    end_process(0);
}
