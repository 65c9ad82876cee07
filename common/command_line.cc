#include "command_line.h"

#include "host.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

const char *option_value(int argc, char **argv, int &index) {
    if (index + 1 >= argc)
        fatal_error("Missing argument for '%s'", argv[index]);
    return argv[++index];
}

int read_border(const char *value) {
    const int border = read_number(value);
    if (border < 0 || border > 200)
        fatal_error("Value for -border out of range");
    return border;
}

int read_interval(const char *value) {
    const int interval = read_number(value);
    return interval < 1 ? 1 : interval;
}

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
