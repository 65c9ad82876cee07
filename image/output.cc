#include "output.h"

#include "host.h"
#include "options.h"
#include "writers.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

void open_output() {
    if (output_path == nullptr) {
        output_file = stdout;
        return;
    }
    output_file = std::fopen(output_path, "w");
    if (output_file == nullptr)
        fatal_error("Creating file \"%s\": %s", output_path, std::strerror(errno));
    if (verbose)
        std::fprintf(stderr, "Writing to file \"%s\"\n", output_path);
}

void close_output() {
    // The first error wins: a failed row write, then the final flush, then
    // any other write that left the stream's error flag, then the close.
    int error = output_error;
    if (std::fflush(output_file) != 0 && error == 0)
        error = errno;
    if (std::ferror(output_file) && error == 0)
        error = EIO;
    if (output_file != stdout && std::fclose(output_file) != 0 && error == 0)
        error = errno;
    if (error == 0)
        return;
    if (output_path != nullptr)
        fatal_error("Writing file \"%s\": %s", output_path, std::strerror(error));
    fatal_error("Writing to standard output: %s", std::strerror(error));
}
