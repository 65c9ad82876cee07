#include "host.h"
#include "options.h"
#include "run_to_end_test.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// The last command line: the settings point into it.
CommandLine *last_line;

// Runs parse_options on "quadrix-x" followed by the words; returns the
// status the run ended with, or -1 when parse_options returned.  Standard
// output is captured unless capture_output is false.
int parse(std::initializer_list<const char *> words, std::string *errors = nullptr,
          std::string *output = nullptr, bool capture_output = true) {
    program_name = "quadrix-x";
    delete last_line;
    last_line = new CommandLine("/usr/local/bin/quadrix-x", words);
    return run_to_end([] { parse_options(last_line->argc(), last_line->argv.data()); }, errors,
                      output, capture_output);
}

std::string text(const char *value) { return value == nullptr ? "(none)" : value; }

const std::string usage_text =
    "\nQuadrantine -- version 1.0d\n"
    "\nUsage: quadrix-x [-geometry <geo>] [-border <borderwidth>]\n"
    "\t[-interval <seconds>]\n"
    "\t[-bg <colour>] [-fg <colour>]\n"
    "\t[-hc <colour>] [-mc <colour>] [-sc <colour>] [-ic <colour>]\n"
    "\t[-w]\n"
    "\t[-root]\n"
    "\t[-display <name>]\n"
    "\t[-name <name>] [-title <text>]\n"
    "\t[-help] [-version]\n\n"
    "\t-w : withdrawn state (for use as docked application)\n"
    "\t-root : the clock as the desktop background\n"
    "\t        (a face of its own on each monitor)\n\n";

}  // namespace

TEST(XOptions, NoArgumentsGiveTheDefaults) {
    ASSERT_EQ(parse({}), -1);
    EXPECT_EQ(geometry, nullptr);
    EXPECT_EQ(border, -1);
    EXPECT_EQ(interval, 10);
    EXPECT_FALSE(withdrawn);
    for (const char *name : {bg_name, fg_name, hc_name, mc_name, sc_name, ic_name})
        EXPECT_EQ(name, nullptr);
}

TEST(XOptions, EachColourOptionSetsItsOwnName) {
    ASSERT_EQ(parse({"-bg", "b", "-fg", "f", "-hc", "h", "-mc", "m", "-sc", "s", "-ic", "i"}), -1);
    EXPECT_EQ(text(bg_name), "b");
    EXPECT_EQ(text(fg_name), "f");
    EXPECT_EQ(text(hc_name), "h");
    EXPECT_EQ(text(mc_name), "m");
    EXPECT_EQ(text(sc_name), "s");
    EXPECT_EQ(text(ic_name), "i");
}

TEST(XOptions, TheLastOfARepeatedOptionWins) {
    ASSERT_EQ(parse({"-fg", "red", "-border", "3", "-fg", "blue", "-border", "4"}), -1);
    EXPECT_EQ(text(fg_name), "blue");
    EXPECT_EQ(border, 4);
}

TEST(XOptions, AValueMayLookLikeAnOption) {
    ASSERT_EQ(parse({"-bg", "-w", "-geometry", "-border"}), -1);
    EXPECT_EQ(text(bg_name), "-w");
    EXPECT_EQ(text(geometry), "-border");
    EXPECT_FALSE(withdrawn);
    EXPECT_EQ(border, -1);
}

TEST(XOptions, WithdrawnModeAlwaysTakesItsOwnGeometry) {
    for (auto words : {std::initializer_list<const char *>{"-w", "-geometry", "200x200+10+10"},
                       std::initializer_list<const char *>{"-geometry", "200x200+10+10", "-w"},
                       std::initializer_list<const char *>{"-w", "-w", "-interval", "3"}}) {
        ASSERT_EQ(parse(words), -1);
        EXPECT_TRUE(withdrawn);
        EXPECT_EQ(text(geometry), "64x64+0+0");
    }
    EXPECT_EQ(interval, 3);  // parsing goes on after -w
}

TEST(XOptions, NumbersAreReadLikeAtoiAndSaturate) {
    struct Case {
        const char *option;
        const char *value;
        int expected;
    };
    constexpr Case cases[] = {
        {"-border", "0", 0},
        {"-border", "200", 200},
        {"-border", "abc", 0},
        {"-border", "12px", 12},
        {"-border", " \t+7", 7},
        {"-border", "-0", 0},
        {"-interval", "30", 30},
        {"-interval", "0", 1},
        {"-interval", "-5", 1},
        {"-interval", "x", 1},
        {"-interval", "99999999999", INT_MAX},
        {"-interval", "-99999999999", 1},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(parse({c.option, c.value}), -1) << c.option << " " << c.value;
        EXPECT_EQ(std::string(c.option) == "-border" ? border : interval, c.expected)
            << c.option << " " << c.value;
    }
}

TEST(XOptions, ABorderOutOfRangeEndsTheRun) {
    for (const char *value : {"201", "-1", "4294967296", "4294967496", "-4294967296", "99999999999"}) {
        std::string errors;
        EXPECT_EQ(parse({"-border", value}, &errors), 1) << value;
        EXPECT_EQ(errors, "\nError quadrix-x: Value for -border out of range\n\n") << value;
    }
}

TEST(XOptions, AnOptionWithoutItsValueEndsTheRun) {
    for (const char *option :
         {"-geometry", "-border", "-interval", "-bg", "-fg", "-hc", "-mc", "-sc", "-ic"}) {
        std::string errors;
        EXPECT_EQ(parse({"-w", option}, &errors), 1) << option;
        EXPECT_EQ(errors, std::string("\nError quadrix-x: Missing argument for '") + option + "'\n\n");
    }
}

TEST(XOptions, AnythingElseShowsTheUsage) {
    for (auto words : {std::initializer_list<const char *>{"clock"},
                       std::initializer_list<const char *>{"-"},
                       std::initializer_list<const char *>{""},
                       std::initializer_list<const char *>{"-w2"},
                       std::initializer_list<const char *>{"-W"},
                       std::initializer_list<const char *>{"-Border", "3"},
                       std::initializer_list<const char *>{"-border", "3", "extra"},
                       std::initializer_list<const char *>{"--w"},
                       std::initializer_list<const char *>{"-Root"},
                       std::initializer_list<const char *>{"-root2"}}) {
        std::string errors;
        EXPECT_EQ(parse(words, &errors), 1) << *words.begin();
        EXPECT_EQ(errors, usage_text) << *words.begin();
    }
}

TEST(XOptions, DisplayNamesTheServer) {
    ASSERT_EQ(parse({}), -1);
    EXPECT_EQ(display_name, nullptr);
    ASSERT_EQ(parse({"-display", ":7", "-w"}), -1);
    EXPECT_EQ(text(display_name), ":7");
    EXPECT_TRUE(withdrawn);
    // The next word is the value, whatever it looks like; the last one wins.
    ASSERT_EQ(parse({"-display", "-w", "-display", "-display"}), -1);
    EXPECT_EQ(text(display_name), "-display");
    EXPECT_FALSE(withdrawn);

    std::string errors;
    EXPECT_EQ(parse({"-w", "-display"}, &errors), 1);
    EXPECT_EQ(errors, "\nError quadrix-x: Missing argument for '-display'\n\n");
}

TEST(XOptions, NameAndTitleForTheWindowManager) {
    ASSERT_EQ(parse({}), -1);
    EXPECT_EQ(instance_name, nullptr);
    EXPECT_EQ(title, nullptr);
    ASSERT_EQ(parse({"-name", "alarm", "-title", "Big Ben"}), -1);
    EXPECT_EQ(text(instance_name), "alarm");
    EXPECT_EQ(text(title), "Big Ben");
    // Values that look like options, empty ones, and the last one wins.
    ASSERT_EQ(parse({"-title", "-help", "-name", "-version", "-name", ""}), -1);
    EXPECT_EQ(text(title), "-help");
    EXPECT_EQ(text(instance_name), "");
    for (const char *option : {"-name", "-title"}) {
        std::string errors;
        EXPECT_EQ(parse({"-w", option}, &errors), 1) << option;
        EXPECT_EQ(errors, std::string("\nError quadrix-x: Missing argument for '") + option + "'\n\n");
    }
}

TEST(XOptions, HelpAndVersionOnStandardOutput) {
    const std::string version_line = std::string("quadrix-x ") + QUADRIX_VERSION + "\n";
    struct Case {
        std::initializer_list<const char *> words;
        int status;
        const std::string &output;
        const std::string &errors;
    };
    const std::string none;
    const Case cases[] = {
        {{"-help"}, 0, usage_text, none},
        {{"--help"}, 0, usage_text, none},
        {{"-w", "-border", "3", "-help"}, 0, usage_text, none},
        {{"-help", "-border", "999"}, 0, usage_text, none},
        {{"-version"}, 0, version_line, none},
        {{"--version", "-help"}, 0, version_line, none},
        {{"-help", "-version"}, 0, usage_text, none},
        // Only the words themselves; everything else is still a mistake.
        {{"-h"}, 1, none, usage_text},
        {{"---help"}, 1, none, usage_text},
        {{"-Help"}, 1, none, usage_text},
        {{"--vers"}, 1, none, usage_text},
        {{"-v"}, 1, none, usage_text},
        {{"clock", "-help"}, 1, none, usage_text},
    };
    for (const Case &c : cases) {
        std::string output;
        std::string errors;
        EXPECT_EQ(parse(c.words, &errors, &output), c.status) << *c.words.begin();
        EXPECT_EQ(output, c.output) << *c.words.begin();
        EXPECT_EQ(errors, c.errors) << *c.words.begin();
    }
}

// A text asked for that does not reach standard output is a failure, as
// is any other output that cannot be written.
TEST(XOptions, HelpAndVersionThatCannotBeWritten) {
    for (const char *word : {"-help", "-version", "--help", "--version"}) {
        std::fflush(stdout);
        const int saved = dup(1);
        const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
        ASSERT_GE(saved, 0);
        ASSERT_GE(full, 0);
        ASSERT_EQ(dup2(full, 1), 1);
        close(full);
        std::string errors;
        const int status = parse({word}, &errors, nullptr, false);
        dup2(saved, 1);
        close(saved);
        std::clearerr(stdout);
        EXPECT_EQ(status, 1) << word;
        EXPECT_EQ(errors, "\nError quadrix-x: Writing to standard output: No space left on device\n\n")
            << word;
    }
}

TEST(XOptions, RootTakesNoWindowOptions) {
    ASSERT_EQ(parse({}), -1);
    EXPECT_FALSE(root_mode);
    ASSERT_EQ(parse({"-root", "-interval", "1", "-bg", "navy", "-border", "3"}), -1);
    EXPECT_TRUE(root_mode);
    EXPECT_EQ(geometry, nullptr);
    EXPECT_EQ(interval, 1);
    EXPECT_EQ(border, 3);
    // Read as the value of another option, it is a name.
    ASSERT_EQ(parse({"-bg", "-root"}), -1);
    EXPECT_FALSE(root_mode);
    EXPECT_EQ(text(bg_name), "-root");

    // A window's size, place or withdrawn state makes no sense for the
    // background, in either order; -w is named first.
    const struct {
        std::initializer_list<const char *> words;
        const char *message;
    } refused[] = {
        {{"-root", "-w"}, "-root cannot be used with -w"},
        {{"-w", "-root"}, "-root cannot be used with -w"},
        {{"-geometry", "10x10", "-root"}, "-root cannot be used with -geometry"},
        {{"-root", "-geometry", ""}, "-root cannot be used with -geometry"},
        {{"-root", "-geometry", "10x10", "-w"}, "-root cannot be used with -w"},
    };
    for (const auto &check : refused) {
        std::string errors;
        EXPECT_EQ(parse(check.words, &errors), 1) << check.message;
        EXPECT_EQ(errors, std::string("\nError quadrix-x: ") + check.message + "\n\n");
    }
}
