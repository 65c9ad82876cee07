#include "host.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char *program_name = "";
void *memory_reserve = nullptr;

void take_memory_reserve() { memory_reserve = std::malloc(1024); }

void set_program_name(const char *argv0) {
    if (argv0 == nullptr)
        argv0 = "";
    const char *slash = std::strrchr(argv0, '/');
    const char *base = slash != nullptr ? slash + 1 : argv0;
    const std::size_t length = std::strlen(base);
    char *copy = static_cast<char *>(std::malloc(length + 1));
    if (copy == nullptr) {
        program_name = base;
        return;
    }
    std::memcpy(copy, base, length + 1);
    program_name = copy;
}

void fatal_error(const char *format, ...) {
    std::fprintf(stderr, "\nError %s: ", program_name);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputs("\n\n", stderr);
    end_process(1);
}

void out_of_memory() {
    std::free(memory_reserve);
    memory_reserve = nullptr;
    fatal_error("Out of memory");
}

void *xmalloc(std::size_t size) {
    void *block = std::malloc(size);
    if (block == nullptr)
        out_of_memory();
    return block;
}

int read_number(const char *text) {
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    // The white space of the C locale, as atoi skips it.
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        p++;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    long long value = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; *p >= '0' && *p <= '9'; p++) {
        value = value * 10 + (*p - '0');
        if (value > limit) {
            value = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}
