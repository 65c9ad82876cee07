// The command line of quadrix-image: each case is a command line and either
// the settings it leaves or the exact text and status it ends with.
#include "end_process_test.h"
#include "host.h"
#include "options.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

const char usage_text[] =
    "\n"
    "Quadrantine -- version 1.0b\n"
    "create image file\n"
    "\n"
    "Usage: quadrix-image <filename> [options] [<hour> <minute> <second>]\n"
    "\n"
    "<filename> : use - for stdout\n"
    "\n"
    "If no time is specified, the current time will be used\n"
    "\n"
    "options:\n"
    "-border <int> : border width\n"
    "-width <int> : width\n"
    "-height <int> : height\n"
    "-xbm : create XBM image file\n"
    "-xpm : create XPM image file\n"
    "-pbm : create PBM image file\n"
    "-ppm : create PPM image file\n"
    "-bmp : create BMP image file\n"
    "-bmpwin : create BMP Windows image file\n"
    "-png : create PNG image file\n"
    "-svg : create SVG image file\n"
    "-bg <red> <green <blue> : set background colour\n"
    "-hc <red> <green <blue> : set colour for hours\n"
    "-mc <red> <green <blue> : set colour for minutes\n"
    "-sc <red> <green <blue> : set border colour for square\n"
    "-ic <red> <green <blue> : set inside colour for square\n"
    "-q : quiet\n"
    "<red>, <green>, <blue> must be 0 - 255\n"
    "\n";

constexpr int default_rgb[5][3] = {
    {255, 255, 255}, {255, 255, 255}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0},
};

std::string error_text(const std::string &message) {
    return "\nError quadrix-image: " + message + "\n\n";
}

// A command line as main hands it over, argv[0] included.
struct CommandLine {
    std::vector<std::string> words;
    std::vector<char *> argv;

    explicit CommandLine(std::vector<std::string> after_name) : words(std::move(after_name)) {
        words.insert(words.begin(), "quadrix-image");
        for (std::string &word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(words.size()); }
};

struct Outcome {
    bool ended = false;
    int status = 0;
    std::string stderr_text;
};

// Runs parse_options, then, when asked, time_to_show on the words left.
Outcome run(CommandLine &line, bool with_time = false, int *hms = nullptr) {
    program_name = "quadrix-image";
    start_options(line.argc(), line.argv.data());
    Outcome outcome;
    testing::internal::CaptureStderr();
    try {
        parse_options();
        if (with_time)
            time_to_show(hms[0], hms[1], hms[2]);
    } catch (const ProcessEnd &end) {
        outcome.ended = true;
        outcome.status = end.status;
    }
    outcome.stderr_text = testing::internal::GetCapturedStderr();
    return outcome;
}

struct Accepted {
    const char *name;
    std::vector<std::string> words;
    int format = FORMAT_PPM;
    int width = 80;
    int height = 80;
    int border = -1;
    int verbose = 1;
    const char *path = nullptr;
    int pen = -1;  // the pen whose colour changes, if any
    int rgb[3] = {0, 0, 0};
};

void PrintTo(const Accepted &c, std::ostream *os) { *os << c.name; }

class OptionsAccepted : public testing::TestWithParam<Accepted> {};

TEST_P(OptionsAccepted, LeavesTheSettings) {
    const Accepted &c = GetParam();
    CommandLine line(c.words);
    const Outcome outcome = run(line);
    ASSERT_FALSE(outcome.ended) << outcome.stderr_text;
    EXPECT_EQ(outcome.stderr_text, "");
    EXPECT_EQ(output_format, c.format);
    EXPECT_EQ(image_width, c.width);
    EXPECT_EQ(image_height, c.height);
    EXPECT_EQ(image_border, c.border);
    EXPECT_EQ(verbose, c.verbose);
    if (c.path == nullptr)
        EXPECT_EQ(output_path, nullptr);
    else
        EXPECT_STREQ(output_path, c.path);
    for (int pen = 0; pen < 5; pen++)
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(pen_rgb[pen][i], pen == c.pen ? c.rgb[i] : default_rgb[pen][i])
                << "pen " << pen << " component " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Table, OptionsAccepted,
    testing::Values(
        Accepted{.name = "stdout", .words = {"-"}},
        Accepted{.name = "file", .words = {"clock.ppm"}, .path = "clock.ppm"},
        Accepted{.name = "file_then_time", .words = {"out", "10", "7", "30"}, .path = "out"},
        Accepted{.name = "xbm", .words = {"-", "-xbm"}, .format = FORMAT_XBM},
        Accepted{.name = "xpm", .words = {"-", "-xpm"}, .format = FORMAT_XPM},
        Accepted{.name = "pbm", .words = {"-", "-pbm"}, .format = FORMAT_PBM},
        Accepted{.name = "ppm", .words = {"-", "-xbm", "-ppm"}, .format = FORMAT_PPM},
        Accepted{.name = "bmp", .words = {"-", "-bmp"}, .format = FORMAT_BMP},
        Accepted{.name = "bmpwin", .words = {"-", "-bmpwin"}, .format = FORMAT_BMPWIN},
        Accepted{.name = "later_format_wins", .words = {"-", "-xpm", "-pbm"},
                 .format = FORMAT_PBM},
        Accepted{.name = "png", .words = {"-", "-png"}, .format = FORMAT_PNG},
        Accepted{.name = "svg", .words = {"-", "-svg"}, .format = FORMAT_SVG},
        Accepted{.name = "svg_after_png_wins", .words = {"-", "-png", "-svg"},
                 .format = FORMAT_SVG},
        Accepted{.name = "ppm_after_svg_wins", .words = {"-", "-svg", "-ppm"},
                 .format = FORMAT_PPM},
        Accepted{.name = "quiet", .words = {"-", "-q"}, .verbose = 0},
        Accepted{.name = "border_0", .words = {"-", "-border", "0"}, .border = 0},
        Accepted{.name = "border_200", .words = {"-", "-border", "200"}, .border = 200},
        Accepted{.name = "border_without_digits", .words = {"-", "-border", "x"}, .border = 0},
        Accepted{.name = "width_21", .words = {"-", "-width", "21"}, .width = 21},
        Accepted{.name = "width_8192", .words = {"-", "-width", "8192"}, .width = 8192},
        Accepted{.name = "height_21", .words = {"-", "-height", "21"}, .height = 21},
        Accepted{.name = "height_8192", .words = {"-", "-height", "8192"}, .height = 8192},
        Accepted{.name = "width_read_like_atoi", .words = {"-", "-width", " +40px"}, .width = 40},
        Accepted{.name = "later_width_wins", .words = {"-", "-width", "30", "-width", "40"},
                 .width = 40},
        Accepted{.name = "bg", .words = {"-", "-bg", "0", "0", "255"}, .pen = 0,
                 .rgb = {0, 0, 255}},
        Accepted{.name = "ic", .words = {"-", "-ic", "1", "2", "3"}, .pen = 1, .rgb = {1, 2, 3}},
        Accepted{.name = "sc", .words = {"-", "-sc", "255", "254", "253"}, .pen = 2,
                 .rgb = {255, 254, 253}},
        Accepted{.name = "hc", .words = {"-", "-hc", "9", "0", "0"}, .pen = 3, .rgb = {9, 0, 0}},
        Accepted{.name = "mc", .words = {"-", "-mc", "0", "0", "7"}, .pen = 4, .rgb = {0, 0, 7}},
        // A value is never taken for an option, whatever it starts with.
        Accepted{.name = "colour_value_like_an_option", .words = {"-", "-bg", "-q", "7", "8"},
                 .pen = 0, .rgb = {0, 7, 8}},
        // The scan stops at the first time word; what follows is not an option.
        Accepted{.name = "stops_at_time_word", .words = {"-", "10", "-q"}},
        Accepted{.name = "everything",
                 .words = {"x.bmp", "-q", "-bmpwin", "-width", "75", "-height", "50",
                           "-border", "3", "-mc", "10", "20", "30", "1", "2", "3"},
                 .format = FORMAT_BMPWIN, .width = 75, .height = 50, .border = 3,
                 .verbose = 0, .path = "x.bmp", .pen = 4, .rgb = {10, 20, 30}}),
    [](const testing::TestParamInfo<Accepted> &test) { return test.param.name; });

struct Rejected {
    const char *name;
    std::vector<std::string> words;
    const char *message;  // null: the usage text
};

void PrintTo(const Rejected &c, std::ostream *os) { *os << c.name; }

class OptionsRejected : public testing::TestWithParam<Rejected> {};

TEST_P(OptionsRejected, EndsWithTheMessage) {
    const Rejected &c = GetParam();
    CommandLine line(c.words);
    int hms[3];
    const Outcome outcome = run(line, true, hms);
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.stderr_text, c.message ? error_text(c.message) : usage_text);
}

constexpr char width_range[] = "width out of range, must be in [21, 8192]";
constexpr char height_range[] = "height out of range, must be in [21, 8192]";
constexpr char border_range[] = "Value for -border out of range";

INSTANTIATE_TEST_SUITE_P(
    Table, OptionsRejected,
    testing::Values(
        Rejected{"no_arguments", {}, nullptr},
        Rejected{"option_for_file_name", {"-xpm", "out.xpm"}, nullptr},
        Rejected{"lone_dash_as_option", {"-", "-"}, nullptr},
        Rejected{"capital_option", {"-", "-XPM"}, nullptr},
        Rejected{"option_with_a_letter_more", {"-", "-qq"}, nullptr},
        Rejected{"option_with_letters_more", {"-", "-bmpwinx"}, nullptr},
        Rejected{"capital_png", {"-", "-PNG"}, nullptr},
        Rejected{"svg_with_a_letter_more", {"-", "-svgz"}, nullptr},
        Rejected{"double_dash", {"-", "--q"}, nullptr},
        Rejected{"negative_number_as_option", {"-", "-5", "3", "0"}, nullptr},
        Rejected{"two_time_words", {"-", "10", "7"}, nullptr},
        Rejected{"four_time_words", {"-", "1", "2", "3", "4"}, nullptr},
        Rejected{"option_after_time", {"-", "1", "2", "3", "-q"}, nullptr},
        Rejected{"border_201", {"-", "-border", "201"}, border_range},
        Rejected{"border_minus_1", {"-", "-border", "-1"}, border_range},
        Rejected{"border_wraps_not", {"-", "-border", "4294967296"}, border_range},
        Rejected{"border_far_below", {"-", "-border", "-4294967296"}, border_range},
        Rejected{"width_20", {"-", "-width", "20"}, width_range},
        Rejected{"width_8193", {"-", "-width", "8193"}, width_range},
        Rejected{"width_hex_is_0", {"-", "-width", "0x50"}, width_range},
        Rejected{"width_wraps_not", {"-", "-width", "4294967376"}, width_range},
        Rejected{"width_negative", {"-", "-width", "-80"}, width_range},
        Rejected{"height_20", {"-", "-height", "20"}, height_range},
        Rejected{"height_8193", {"-", "-height", "8193"}, height_range},
        Rejected{"first_error_wins", {"-", "-width", "20", "-border", "300"}, width_range},
        Rejected{"border_last", {"-", "-border"}, "Missing argument for '-border'"},
        Rejected{"width_last", {"-", "-q", "-width"}, "Missing argument for '-width'"},
        Rejected{"height_last", {"-", "-height"}, "Missing argument for '-height'"},
        Rejected{"colour_last", {"-", "-mc"}, "Missing argument for '-mc'"},
        Rejected{"colour_one_value", {"-", "-sc", "1"}, "Missing argument for '1'"},
        // Missing is reported before out of range.
        Rejected{"colour_two_values", {"-", "-bg", "300", "0"}, "Missing argument for '0'"},
        Rejected{"bg_256", {"-", "-bg", "0", "0", "256"}, "Invalid color for -bg"},
        Rejected{"ic_minus_1", {"-", "-ic", "-1", "0", "0"}, "Invalid color for -ic"},
        Rejected{"sc_256", {"-", "-sc", "0", "256", "0"}, "Invalid color for -sc"},
        Rejected{"hc_minus_1", {"-", "-hc", "0", "0", "-1"}, "Invalid color for -hc"},
        Rejected{"mc_wraps_not", {"-", "-mc", "4294967296", "0", "0"}, "Invalid color for -mc"}),
    [](const testing::TestParamInfo<Rejected> &test) { return test.param.name; });

struct TimeCase {
    const char *name;
    std::vector<std::string> words;
    int hour, minute, second;
};

void PrintTo(const TimeCase &c, std::ostream *os) { *os << c.name; }

class TimeWords : public testing::TestWithParam<TimeCase> {};

TEST_P(TimeWords, GiveTheTime) {
    const TimeCase &c = GetParam();
    std::vector<std::string> words = {"-", "-q"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    CommandLine line(words);
    int hms[3] = {-1, -1, -1};
    const Outcome outcome = run(line, true, hms);
    ASSERT_FALSE(outcome.ended) << outcome.stderr_text;
    EXPECT_EQ(hms[0], c.hour);
    EXPECT_EQ(hms[1], c.minute);
    EXPECT_EQ(hms[2], c.second);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TimeWords,
    testing::Values(TimeCase{"plain", {"10", "7", "30"}, 10, 7, 30},
                    TimeCase{"wrap_to_zero", {"24", "60", "60"}, 0, 0, 0},
                    TimeCase{"hour_25", {"25", "-1", "61"}, 1, 15, 1},
                    // 4294967291 modulo 60
                    TimeCase{"minute_minus_5", {"7", "-5", "3"}, 7, 11, 3},
                    TimeCase{"no_digits", {"x", "", "9z"}, 0, 0, 9},
                    // Saturated at INT_MAX and INT_MIN before the modulo.
                    TimeCase{"saturated", {"4294967296", "99999999999", "-4294967296"}, 7, 7, 8}),
    [](const testing::TestParamInfo<TimeCase> &test) { return test.param.name; });

TEST(TimeWords, NoneGiveTheLocalTime) {
    CommandLine line({"-", "-q"});
    int hms[3] = {-1, -1, -1};
    const Outcome outcome = run(line, true, hms);
    ASSERT_FALSE(outcome.ended) << outcome.stderr_text;
    EXPECT_GE(hms[0], 0);
    EXPECT_LE(hms[0], 23);
    EXPECT_GE(hms[1], 0);
    EXPECT_LE(hms[1], 59);
    EXPECT_GE(hms[2], 0);
    EXPECT_LE(hms[2], 60);
}

}  // namespace
