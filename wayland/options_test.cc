#include "host.h"
#include "options.h"
#include "run_to_end_test.h"

#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <string>

namespace {

// The last command line: the settings point into it.
CommandLine *last_line;

// Runs parse_options on "quadrix-wayland" followed by the words; returns
// the status the run ended with, or -1 when parse_options returned.
int parse(std::initializer_list<const char *> words, std::string *errors = nullptr,
          std::string *output = nullptr) {
    program_name = "quadrix-wayland";
    delete last_line;
    last_line = new CommandLine("/usr/bin/quadrix-wayland", words);
    return run_to_end([] { parse_options(last_line->argc(), last_line->argv.data()); }, errors,
                      output);
}

std::string text(const char *value) { return value == nullptr ? "(none)" : value; }

const std::string usage_text =
    "\nQuadrantine -- version 1.0d\n"
    "\nUsage: quadrix-wayland [-geometry <width>x<height>] [-border <borderwidth>]\n"
    "\t[-interval <seconds>]\n"
    "\t[-bg <colour>] [-fg <colour>]\n"
    "\t[-hc <colour>] [-mc <colour>] [-sc <colour>] [-ic <colour>]\n"
    "\t[-background] [-output <name>]\n"
    "\t[-display <name>]\n"
    "\t[-name <name>] [-title <text>]\n"
    "\t[-help] [-version]\n"
    "\n"
    "\t-background : the clock as the background of every output\n"
    "\t-output : only on the output of that name (repeatable)\n"
    "\n";

std::string error(const char *message) {
    return std::string("\nError quadrix-wayland: ") + message + "\n\n";
}

TEST(WaylandOptions, Defaults) {
    ASSERT_EQ(parse({}), -1);
    EXPECT_EQ(window_width, 80);
    EXPECT_EQ(window_height, 80);
    EXPECT_EQ(border, -1);
    EXPECT_EQ(interval, 10);
    EXPECT_FALSE(background);
    EXPECT_TRUE(output_names.empty());
    for (const char *setting : {display_name, window_app_id, window_title, bg_name, fg_name,
                                hc_name, mc_name, sc_name, ic_name})
        EXPECT_EQ(setting, nullptr);
}

TEST(WaylandOptions, TextValuesAndRepeats) {
    // The last of a repeated option wins; -output adds up; the word after
    // an option is its value whatever it looks like.
    ASSERT_EQ(parse({"-bg", "navy", "-fg", "white", "-hc", "red", "-mc", "#00ff00", "-sc",
                     "Light Goldenrod Yellow", "-ic", "gray20", "-display", "wayland-9",
                     "-name", "clock", "-title", "-background", "-bg", "black"}),
              -1);
    EXPECT_EQ(text(bg_name), "black");
    EXPECT_EQ(text(fg_name), "white");
    EXPECT_EQ(text(hc_name), "red");
    EXPECT_EQ(text(mc_name), "#00ff00");
    EXPECT_EQ(text(sc_name), "Light Goldenrod Yellow");
    EXPECT_EQ(text(ic_name), "gray20");
    EXPECT_EQ(text(display_name), "wayland-9");
    EXPECT_EQ(text(window_app_id), "clock");
    EXPECT_EQ(text(window_title), "-background");
    EXPECT_FALSE(background);

    ASSERT_EQ(parse({"-background", "-output", "DP-1", "-output", "HDMI-A-1", "-output",
                     "-help"}),
              -1);
    EXPECT_TRUE(background);
    ASSERT_EQ(output_names.size(), 3u);
    EXPECT_EQ(text(output_names[0]), "DP-1");
    EXPECT_EQ(text(output_names[1]), "HDMI-A-1");
    EXPECT_EQ(text(output_names[2]), "-help");
    // A new command line starts again.
    ASSERT_EQ(parse({"-title", "x"}), -1);
    EXPECT_TRUE(output_names.empty());
    EXPECT_EQ(bg_name, nullptr);
}

TEST(WaylandOptions, Numbers) {
    struct Case {
        std::initializer_list<const char *> words;
        int border, interval;
    };
    const Case cases[] = {
        {{"-border", "0"}, 0, 10},
        {{"-border", "200"}, 200, 10},
        {{"-border", " 7px"}, 7, 10},
        {{"-border", "abc"}, 0, 10},
        {{"-interval", "1"}, -1, 1},
        {{"-interval", "0"}, -1, 1},
        {{"-interval", "-5"}, -1, 1},
        {{"-interval", "99999999999"}, -1, INT_MAX},
        {{"-interval", "3", "-interval", "60"}, -1, 60},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(parse(c.words), -1);
        EXPECT_EQ(border, c.border) << *c.words.begin() << " " << *(c.words.begin() + 1);
        EXPECT_EQ(interval, c.interval) << *c.words.begin() << " " << *(c.words.begin() + 1);
    }
}

TEST(WaylandOptions, Geometry) {
    // The size asked for: X's form, offsets read and ignored, the face's
    // minimum and the largest window as limits; an unreadable geometry is
    // ignored.
    struct Case {
        std::initializer_list<const char *> words;
        int width, height;
    };
    const Case cases[] = {
        {{"-geometry", "120x90"}, 120, 90},
        {{"-geometry", "120X90"}, 120, 90},
        {{"-geometry", "=120x90"}, 120, 90},
        {{"-geometry", "120x90-0+0"}, 120, 90},
        {{"-geometry", "120x90+10-20"}, 120, 90},
        {{"-geometry", "+10+20"}, 80, 80},
        {{"-geometry", "150"}, 150, 80},
        {{"-geometry", "x150"}, 80, 150},
        {{"-geometry", ""}, 80, 80},
        {{"-geometry", "10x10"}, 21, 21},
        {{"-geometry", "0x0"}, 21, 21},
        {{"-geometry", "10x10", "-border", "5"}, 31, 31},
        {{"-geometry", "9000x99999999999"}, 8192, 8192},
        // Not geometries: ignored whole.
        {{"-geometry", "120x"}, 80, 80},
        {{"-geometry", "120x90+5"}, 80, 80},
        {{"-geometry", "120x90+5+"}, 80, 80},
        {{"-geometry", "-120x90"}, 80, 80},
        {{"-geometry", "120*90"}, 80, 80},
        {{"-geometry", "120x90 "}, 80, 80},
        {{"-geometry", "big"}, 80, 80},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(parse(c.words), -1);
        const std::string what = *(c.words.begin() + 1);
        EXPECT_EQ(window_width, c.width) << what;
        EXPECT_EQ(window_height, c.height) << what;
    }
}

TEST(WaylandOptions, BadCommandLines) {
    struct Case {
        std::initializer_list<const char *> words;
        std::string message;
    };
    const Case cases[] = {
        {{"clock"}, usage_text},
        {{"-"}, usage_text},
        {{""}, usage_text},
        {{"-root"}, usage_text},
        {{"-w"}, usage_text},
        {{"-Background"}, usage_text},
        {{"--background"}, usage_text},
        {{"-border", "201"}, error("Value for -border out of range")},
        {{"-border", "-1"}, error("Value for -border out of range")},
        {{"-border"}, error("Missing argument for '-border'")},
        {{"-bg", "red", "-interval"}, error("Missing argument for '-interval'")},
        {{"-background", "-output"}, error("Missing argument for '-output'")},
        {{"-geometry"}, error("Missing argument for '-geometry'")},
        {{"-title"}, error("Missing argument for '-title'")},
        {{"-background", "-geometry", "100x100"},
         error("-background cannot be used with -geometry")},
        {{"-geometry", "", "-background"}, error("-background cannot be used with -geometry")},
        {{"-output", "DP-1"}, error("-output cannot be used without -background")},
    };
    for (const Case &c : cases) {
        std::string errors;
        std::string output;
        EXPECT_EQ(parse(c.words, &errors, &output), 1) << *c.words.begin();
        EXPECT_EQ(errors, c.message) << *c.words.begin();
        EXPECT_EQ(output, "") << *c.words.begin();
    }
}

TEST(WaylandOptions, HelpAndVersion) {
    struct Case {
        std::initializer_list<const char *> words;
        int status;
        std::string output, errors;
    };
    const std::string version = std::string("quadrix-wayland ") + QUADRIX_VERSION + "\n";
    const Case cases[] = {
        {{"-help"}, 0, usage_text, ""},
        {{"--help"}, 0, usage_text, ""},
        {{"-background", "-help", "-border", "999"}, 0, usage_text, ""},
        {{"-version"}, 0, version, ""},
        {{"--version", "--help"}, 0, version, ""},
        {{"-border", "999", "-help"}, 1, "", error("Value for -border out of range")},
        {{"-h"}, 1, "", usage_text},
        {{"clock", "-help"}, 1, "", usage_text},
    };
    for (const Case &c : cases) {
        std::string errors;
        std::string output;
        EXPECT_EQ(parse(c.words, &errors, &output), c.status) << *c.words.begin();
        EXPECT_EQ(output, c.output) << *c.words.begin();
        EXPECT_EQ(errors, c.errors) << *c.words.begin();
    }
}

TEST(WaylandOptions, MinimumSize) {
    ASSERT_EQ(parse({}), -1);
    EXPECT_EQ(minimum_size(), 21);
    EXPECT_EQ(at_least_minimum(5), 21);
    EXPECT_EQ(at_least_minimum(300), 300);
    ASSERT_EQ(parse({"-border", "0"}), -1);
    EXPECT_EQ(minimum_size(), 21);
    ASSERT_EQ(parse({"-border", "10"}), -1);
    EXPECT_EQ(minimum_size(), 41);
    EXPECT_EQ(at_least_minimum(40), 41);
}

}  // namespace
