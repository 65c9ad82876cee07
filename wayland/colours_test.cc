#include "colours.h"
#include "options.h"
#include "quadface.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// A database of the tests' own, in rgb.txt's form, in a file of this
// process (ctest runs the tests side by side), removed at its end.
struct Fixture {
    std::string path;
    ~Fixture() { std::remove(path.c_str()); }
};

std::string fixture() {
    static Fixture written{testing::TempDir() + "quadrix-wayland-rgb." +
                           std::to_string(getpid())};
    const std::string &path = written.path;
    std::FILE *file = std::fopen(path.c_str(), "w");
    std::fputs("! a comment: 1 2 3 comment\n"
               "255 250 250\t\tsnow\n"
               "  0   0 128\t\tnavy blue\n"
               "  1   2   3 \t\tNavyBlue\n"
               "300   0   0\t\ttoo red\n"
               " 10  20\t\tshort\n"
               " 40  50  60\t\t\n"
               " 70  80  90\t\tlast line without an end",
               file);
    std::fclose(file);
    return path;
}

TEST(Colours, HexadecimalAsXReadsIt) {
    struct Case {
        const char *name;
        bool known;
        std::uint32_t rgb;
    };
    // Each group of digits is the top of a 16-bit value, whose top 8 bits
    // count: #f00 is 0xf000 for red, 240 on the screen.
    const Case cases[] = {
        {"#f00", true, 0xf00000},       {"#7f8", true, 0x70f080},
        {"#fff", true, 0xf0f0f0},       {"#000", true, 0x000000},
        {"#123456", true, 0x123456},    {"#FfA0c1", true, 0xffa0c1},
        {"#123456789", true, 0x124578}, {"#fedcba987654", true, 0xfeba76},
        {"#", false, 0},                {"#1234", false, 0},
        {"#12345", false, 0},           {"#12345678901", false, 0},
        {"#1234567890123", false, 0},   {"#ggg", false, 0},
        {"#12 456", false, 0},          {" #123456", false, 0},
    };
    const std::string database = fixture();
    for (const Case &c : cases) {
        std::uint32_t rgb = 0xdeadbe;
        EXPECT_EQ(read_colour(c.name, rgb, database.c_str()), c.known) << c.name;
        EXPECT_EQ(rgb, c.known ? c.rgb : 0xdeadbe) << c.name;
    }
}

TEST(Colours, NamesFromTheDatabase) {
    // Case and spaces do not count; the first entry of a name wins; lines
    // that are not entries are skipped.
    struct Case {
        const char *name;
        bool known;
        std::uint32_t rgb;
    };
    const Case cases[] = {
        {"snow", true, 0xfffafa},
        {"SNOW", true, 0xfffafa},
        {" s n o w ", true, 0xfffafa},
        {"navy blue", true, 0x000080},
        {"NavyBlue", true, 0x000080},
        {"navyblue", true, 0x000080},
        {"last line without an end", true, 0x46505a},
        {"too red", false, 0},
        {"short", false, 0},
        {"comment", false, 0},
        {"", false, 0},
        {" ", false, 0},
        {"snowy", false, 0},
    };
    const std::string database = fixture();
    for (const Case &c : cases) {
        std::uint32_t rgb = 0xdeadbe;
        EXPECT_EQ(read_colour(c.name, rgb, database.c_str()), c.known) << c.name;
        EXPECT_EQ(rgb, c.known ? c.rgb : 0xdeadbe) << c.name;
    }
    std::uint32_t rgb = 0;
    EXPECT_FALSE(read_colour("snow", rgb, "/nonexistent/rgb.txt"));
}

TEST(Colours, DebiansDatabase) {
    // The values an X server gives for these names.
    struct Case {
        const char *name;
        std::uint32_t rgb;
    };
    const Case cases[] = {
        {"navy", 0x000080},   {"gray20", 0x333333},
        {"grey50", 0x7f7f7f}, {"Light Goldenrod Yellow", 0xfafad2},
        {"DarkGrey", 0xa9a9a9}, {"gray", 0xbebebe},
        {"white", 0xffffff},  {"BLACK", 0x000000},
    };
    for (const Case &c : cases) {
        std::uint32_t rgb = 0;
        EXPECT_TRUE(read_colour(c.name, rgb)) << c.name;
        EXPECT_EQ(rgb, c.rgb) << c.name;
    }
}

TEST(Colours, DefaultsFollowBackgroundAndForeground) {
    const std::string database = fixture();
    struct Case {
        std::initializer_list<const char *> given;  // bg, fg, hc, mc, sc, ic
        std::uint32_t want[5];                       // by pen
    };
    const Case cases[] = {
        // White background and inside, black for the rest.
        {{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
         {0xffffff, 0xffffff, 0x000000, 0x000000, 0x000000}},
        // The inside follows the background, the rest the foreground.
        {{"navy blue", "snow", nullptr, nullptr, nullptr, nullptr},
         {0x000080, 0x000080, 0xfffafa, 0xfffafa, 0xfffafa}},
        // Each named on its own.
        {{"#010203", "#040506", "#070809", "#0a0b0c", "#0d0e0f", "#101112"},
         {0x010203, 0x101112, 0x0d0e0f, 0x070809, 0x0a0b0c}},
        // Unknown names give the defaults, which follow the known ones.
        {{"no such", "snow", "#12", "nosuch", "", "#gg0000"},
         {0xffffff, 0xffffff, 0xfffafa, 0xfffafa, 0xfffafa}},
        {{"snow", "no such", nullptr, nullptr, nullptr, nullptr},
         {0xfffafa, 0xfffafa, 0x000000, 0x000000, 0x000000}},
    };
    for (const Case &c : cases) {
        const char *const *given = c.given.begin();
        bg_name = given[0];
        fg_name = given[1];
        hc_name = given[2];
        mc_name = given[3];
        sc_name = given[4];
        ic_name = given[5];
        std::uint32_t colours[5] = {};
        choose_colours(colours, database.c_str());
        for (int pen = 0; pen < 5; pen++)
            EXPECT_EQ(colours[pen], c.want[pen]) << "pen " << pen << ", bg " << (given[0] != nullptr ? given[0] : "(none)");
    }
    bg_name = fg_name = hc_name = mc_name = sc_name = ic_name = nullptr;
}

}  // namespace
