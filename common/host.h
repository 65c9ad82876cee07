// What the programs share around the face: their name in messages, the
// one error path, the memory reserve and the reading of numbers.
#pragma once

#include <cstddef>

// The part of argv[0] after its last '/', or all of it.
extern const char *program_name;

// A block taken first thing and released only just before "Out of memory"
// is reported, so that the report itself has memory to work with.
extern void *memory_reserve;

void take_memory_reserve();
void set_program_name(const char *argv0);

// Writes "\nError NAME: MESSAGE\n\n" to standard error and ends the process
// with status 1.
[[noreturn]] void fatal_error(const char *format, ...)
    __attribute__((format(printf, 1, 2)));

// "Out of memory", after the reserve has been given back.
[[noreturn]] void out_of_memory();

// malloc that never returns null: "Out of memory" ends the process.
void *xmalloc(std::size_t size);

// Reads a number as atoi does (leading white space, a sign, digits up to the
// first other character, no digits gives 0), but a value beyond the range
// of int saturates at INT_MIN or INT_MAX instead of wrapping.
int read_number(const char *text);

// The one place where the programs end.  The programs exit; a test build
// links its own version that unwinds back into the test instead.
[[noreturn]] void end_process(int status);
