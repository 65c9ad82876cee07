#include "command_line.h"
#include "host.h"
#include "run_to_end_test.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

// The status that f ended the process with, or -1 when it returned; what
// it wrote goes to errors and output.
template <typename F>
int status_of(F f, std::string &errors, std::string &output) {
    program_name = "clock";
    return run_to_end(f, &errors, &output);
}

TEST(CommandLine, OptionValue) {
    char name[] = "clock";
    char option[] = "-bg";
    char value[] = "-fg";
    char *argv[] = {name, option, value, nullptr};
    int index = 1;
    EXPECT_STREQ(option_value(3, argv, index), "-fg");
    EXPECT_EQ(index, 2);

    std::string errors;
    std::string output;
    index = 1;
    EXPECT_EQ(status_of([&] { option_value(2, argv, index); }, errors, output), 1);
    EXPECT_EQ(errors, "\nError clock: Missing argument for '-bg'\n\n");
    EXPECT_EQ(index, 1);
}

TEST(CommandLine, ColourOptions) {
    CommandLine line("clock", {"-bg", "navy", "-ic", "-fg", "-x", "-sc"});
    char **argv = line.argv.data();
    clear_colour_options();
    int index = 1;
    EXPECT_TRUE(take_colour_option(line.argc(), argv, index));
    EXPECT_EQ(index, 2);
    index = 3;
    EXPECT_TRUE(take_colour_option(line.argc(), argv, index));
    EXPECT_EQ(index, 4);
    index = 5;
    EXPECT_FALSE(take_colour_option(line.argc(), argv, index));
    EXPECT_EQ(index, 5);
    EXPECT_STREQ(bg_name, "navy");
    EXPECT_STREQ(ic_name, "-fg");
    EXPECT_EQ(fg_name, nullptr);

    std::string errors;
    std::string output;
    index = 6;
    EXPECT_EQ(status_of([&] { take_colour_option(line.argc(), argv, index); }, errors, output),
              1);
    EXPECT_EQ(errors, "\nError clock: Missing argument for '-sc'\n\n");
    EXPECT_EQ(sc_name, nullptr);

    clear_colour_options();
    for (const char *name : {bg_name, fg_name, hc_name, mc_name, sc_name, ic_name})
        EXPECT_EQ(name, nullptr);
}

TEST(CommandLine, BorderAndInterval) {
    struct Case {
        const char *text;
        int border;  // -2: out of range
        int interval;
    };
    const Case cases[] = {
        {"0", 0, 1},         {"200", 200, 200},   {"201", -2, 201},  {"-1", -2, 1},
        {"abc", 0, 1},       {" +12x", 12, 12},   {"4294967296", -2, INT_MAX},
        {"-99999999999", -2, 1},
    };
    for (const Case &c : cases) {
        std::string errors;
        std::string output;
        int border = -5;
        const int status = status_of([&] { border = read_border(c.text); }, errors, output);
        if (c.border == -2) {
            EXPECT_EQ(status, 1) << c.text;
            EXPECT_EQ(errors, "\nError clock: Value for -border out of range\n\n") << c.text;
        } else {
            EXPECT_EQ(status, -1) << c.text;
            EXPECT_EQ(border, c.border) << c.text;
        }
        EXPECT_EQ(read_interval(c.text), c.interval) << c.text;
    }
}

TEST(CommandLine, PrintAndEnd) {
    std::string errors;
    std::string output;
    EXPECT_EQ(status_of([] { print_and_end("%s %d\n", "clock", 1); }, errors, output), 0);
    EXPECT_EQ(output, "clock 1\n");
    EXPECT_EQ(errors, "");
}

}  // namespace
