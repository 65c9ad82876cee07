// For the tests of code that may end the process: a command line to hand
// to it, and a run that catches the end and what was written meanwhile.
#pragma once

#include "end_process_test.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

// argv for a program called path, followed by the words; the strings live
// as long as the object.
struct CommandLine {
    std::vector<std::string> words;
    std::vector<char *> argv;

    CommandLine(const char *path, std::initializer_list<const char *> given) {
        words.emplace_back(path);
        for (const char *word : given)
            words.emplace_back(word);
        for (std::string &word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
    }

    int argc() const { return static_cast<int>(words.size()); }
};

// Runs f; gives the status the process ended with, or -1 when f returned.
// What it wrote to standard error and output goes to errors and output;
// standard output is left as it is when capture_output is false.
template <typename F>
int run_to_end(F f, std::string *errors = nullptr, std::string *output = nullptr,
               bool capture_output = true) {
    testing::internal::CaptureStderr();
    if (capture_output)
        testing::internal::CaptureStdout();
    int status = -1;
    try {
        f();
    } catch (const ProcessEnd &end) {
        status = end.status;
    }
    const std::string printed = capture_output ? testing::internal::GetCapturedStdout() : "";
    const std::string captured = testing::internal::GetCapturedStderr();
    if (errors != nullptr)
        *errors = captured;
    if (output != nullptr)
        *output = printed;
    return status;
}
