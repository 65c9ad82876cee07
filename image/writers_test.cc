// The writers' exact bytes for small canvases, written to a temporary file
// through output_file as the program writes its image.
#include "canvas.h"
#include "options.h"
#include "quadface.h"
#include "writers.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A canvas of the given size, all background, with progress lines off.
void make_canvas(int width, int height) {
    start_options(0, nullptr);
    verbose = 0;
    image_width = width;
    image_height = height;
    alloc_canvas();
    face_set_pen(PEN_BACKGROUND);
    face_fill(0, 0, width - 1, height - 1);
}

void put_pen(int x, int y, int pen) {
    face_set_pen(pen);
    face_fill(x, y, x, y);
}

std::string written(int format) {
    output_format = format;
    output_error = 0;
    output_file = std::tmpfile();
    EXPECT_NE(output_file, nullptr);
    write_image();
    EXPECT_EQ(std::fflush(output_file), 0);
    EXPECT_EQ(output_error, 0);
    std::rewind(output_file);
    std::string bytes;
    char block[4096];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, output_file)) > 0)
        bytes.append(block, n);
    std::fclose(output_file);
    output_file = nullptr;
    return bytes;
}

std::string bytes_of(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values)
        bytes.push_back(static_cast<char>(value));
    return bytes;
}

// Three by two: the top row holds pens 0, 1, 2, the bottom row 3, 4, 0.
void make_colour_fixture() {
    make_canvas(3, 2);
    put_pen(1, 1, PEN_INSIDE);
    put_pen(2, 1, PEN_SQUARE);
    put_pen(0, 0, PEN_HOUR);
    put_pen(1, 0, PEN_MINUTE);
    const int colours[5][3] = {
        {255, 255, 255}, {1, 2, 171}, {0, 0, 0}, {16, 32, 48}, {255, 0, 128},
    };
    for (int pen = 0; pen < 5; pen++)
        for (int i = 0; i < 3; i++)
            pen_rgb[pen][i] = colours[pen][i];
}

TEST(Xpm, ExactText) {
    make_colour_fixture();
    EXPECT_EQ(written(FORMAT_XPM),
              "/* XPM */\n"
              "static char *Quadrix[] = {\n"
              "/* width height num_colors chars_per_pixel */\n"
              "\"    3    2        5            1\",\n"
              "/* colors */\n"
              "\". c #ffffff\",\n"
              "\", c #0102ab\",\n"
              "\"# c #000000\",\n"
              "\"@ c #102030\",\n"
              "\"% c #ff0080\",\n"
              "/* pixels */\n"
              "\".,#\",\n"
              "\"@%.\"\n"
              "};\n");
}

TEST(Ppm, ExactBytes) {
    make_colour_fixture();
    EXPECT_EQ(written(FORMAT_PPM),
              "P6\n3 2\n255\n" +
                  bytes_of({0xff, 0xff, 0xff, 0x01, 0x02, 0xab, 0x00, 0x00, 0x00,  //
                            0x10, 0x20, 0x30, 0xff, 0x00, 0x80, 0xff, 0xff, 0xff}));
}

// The colour formats write only the image's own columns, however wide the
// canvas is: at 21 pixels XPM rows are 21 characters and PPM rows 63 bytes.
TEST(ColourFormats, NoPaddingColumns) {
    make_canvas(21, 4);
    put_pen(20, 0, PEN_MINUTE);
    const std::string ppm = written(FORMAT_PPM);
    ASSERT_EQ(ppm.size(), std::string("P6\n21 4\n255\n").size() + 63 * 4);
    EXPECT_EQ(ppm.substr(ppm.size() - 3), bytes_of({0, 0, 0}));
    EXPECT_EQ(ppm.substr(ppm.size() - 6, 3), bytes_of({255, 255, 255}));

    std::istringstream xpm(written(FORMAT_XPM));
    std::string line;
    std::vector<std::string> pixel_lines;
    bool in_pixels = false;
    while (std::getline(xpm, line)) {
        if (line == "/* pixels */")
            in_pixels = true;
        else if (in_pixels && line != "};")
            pixel_lines.push_back(line);
    }
    // Built by appending: g++ 12 at -O3 takes "\"" + std::string(...) for an
    // overlapping copy (-Wrestrict), which it is not.
    const std::string blank = std::string("\"").append(21, '.').append("\",");
    const std::string last = std::string("\"").append(20, '.').append("%\"");
    EXPECT_EQ(pixel_lines, (std::vector<std::string>{blank, blank, blank, last}));
}

// Ten by two, so that each row takes two bytes and ends in padding.  The
// inside of the square counts as background even when it is given the
// colour of the rim, and the rim as foreground when it is white.
void make_bit_fixture() {
    make_canvas(10, 2);
    put_pen(0, 1, PEN_SQUARE);
    put_pen(1, 1, PEN_INSIDE);
    put_pen(2, 1, PEN_HOUR);
    put_pen(9, 1, PEN_MINUTE);
    put_pen(7, 0, PEN_SQUARE);
    put_pen(8, 0, PEN_INSIDE);
    for (int i = 0; i < 3; i++) {
        pen_rgb[PEN_INSIDE][i] = 0;
        pen_rgb[PEN_SQUARE][i] = 255;
    }
}

TEST(Xbm, ExactTextLeastSignificantBitFirst) {
    make_bit_fixture();
    EXPECT_EQ(written(FORMAT_XBM),
              "#define Quadrix_width 10\n"
              "#define Quadrix_height 2\n"
              "static char Quadrix_bits[] = {\n"
              "0x05,0x02,0x80,0x00};\n");
}

TEST(Pbm, ExactBytesMostSignificantBitFirst) {
    make_bit_fixture();
    EXPECT_EQ(written(FORMAT_PBM), "P4\n10 2\n" + bytes_of({0xa0, 0x40, 0x01, 0x00}));
}

// A whole image of foreground: the padding bits at the end of each row stay 0.
TEST(OneBitFormats, PaddingBitsClear) {
    make_canvas(21, 2);
    face_set_pen(PEN_MINUTE);
    face_fill(0, 0, 20, 1);
    EXPECT_EQ(written(FORMAT_PBM), "P4\n21 2\n" + bytes_of({0xff, 0xff, 0xf8, 0xff, 0xff, 0xf8}));
    EXPECT_EQ(written(FORMAT_XBM),
              "#define Quadrix_width 21\n"
              "#define Quadrix_height 2\n"
              "static char Quadrix_bits[] = {\n"
              "0xff,0xff,0x1f,0xff,0xff,0x1f};\n");
}

struct XbmLayout {
    int width, height;
    int lines;        // lines of values
    int last_values;  // values on the last line
};

void PrintTo(const XbmLayout &c, std::ostream *os) { *os << c.width << "x" << c.height; }

class XbmLines : public testing::TestWithParam<XbmLayout> {};

// Values stand 15 to a line, counted over the whole image, and the text ends
// with "};" and exactly one newline.
TEST_P(XbmLines, FifteenValuesALine) {
    const XbmLayout c = GetParam();
    make_canvas(c.width, c.height);
    face_draw(10, 7, 30, c.width, c.height, -1);
    const std::string text = written(FORMAT_XBM);
    const std::string header = "#define Quadrix_width " + std::to_string(c.width) +
                               "\n#define Quadrix_height " + std::to_string(c.height) +
                               "\nstatic char Quadrix_bits[] = {\n";
    ASSERT_EQ(text.substr(0, header.size()), header);
    ASSERT_EQ(text.substr(text.size() - 3), "};\n");

    std::istringstream body(text.substr(header.size()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(body, line);)
        lines.push_back(line);
    ASSERT_EQ(static_cast<int>(lines.size()), c.lines);
    const std::size_t values = (static_cast<std::size_t>(c.lines) - 1) * 15 +
                               static_cast<std::size_t>(c.last_values);
    EXPECT_EQ(values, static_cast<std::size_t>((c.width + 7) / 8 * c.height));
    for (int i = 0; i < c.lines; i++) {
        const std::string &line = lines[static_cast<std::size_t>(i)];
        const bool last = i == c.lines - 1;
        const int count = last ? c.last_values : 15;
        ASSERT_EQ(static_cast<int>(line.size()), 5 * count + (last ? 1 : 0)) << line;
        for (int v = 0; v < count; v++) {
            const std::string value = line.substr(static_cast<std::size_t>(5 * v), 5);
            const bool final_value = last && v == count - 1;
            ASSERT_EQ(value.substr(0, 2), "0x") << line;
            ASSERT_EQ(value.substr(2, 2).find_first_not_of("0123456789abcdef"),
                      std::string::npos)
                << line;
            ASSERT_EQ(value[4], final_value ? '}' : ',') << line;
        }
    }
    EXPECT_EQ(lines.back().back(), ';');
}

INSTANTIATE_TEST_SUITE_P(Sizes, XbmLines,
                         testing::Values(XbmLayout{21, 21, 5, 3}, XbmLayout{24, 25, 5, 15},
                                         XbmLayout{80, 80, 54, 5}));

TEST(Pbm, DefaultSizeIsHeaderAnd800Bytes) {
    make_canvas(80, 80);
    face_draw(10, 7, 30, 80, 80, -1);
    const std::string pbm = written(FORMAT_PBM);
    EXPECT_EQ(pbm.substr(0, 9), "P4\n80 80\n");
    EXPECT_EQ(pbm.size(), 9u + 800u);
}

TEST(Bmp, Os2HeaderOfTheDefaultPicture) {
    make_canvas(80, 80);
    const std::string bmp = written(FORMAT_BMP);
    ASSERT_EQ(bmp.size(), 80u * 40u + 74u);
    EXPECT_EQ(bmp.substr(0, 74),
              "BM" + bytes_of({0xca, 0x0c, 0, 0, 0, 0, 0, 0, 0x4a, 0, 0, 0,  //
                               12, 0, 0, 0, 0x50, 0, 0x50, 0, 1, 0, 4, 0,    //
                               0xff, 0xff, 0xff, 0xff, 0xff, 0xff}) +
                  std::string(14 * 3, '\0'));
}

TEST(Bmp, WindowsHeaderOfTheDefaultPicture) {
    make_canvas(80, 80);
    const std::string bmp = written(FORMAT_BMPWIN);
    ASSERT_EQ(bmp.size(), 80u * 40u + 118u);
    EXPECT_EQ(bmp.substr(0, 118),
              "BM" + bytes_of({0xf6, 0x0c, 0, 0, 0, 0, 0, 0, 0x76, 0, 0, 0,  //
                               40, 0, 0, 0, 0x50, 0, 0, 0, 0x50, 0, 0, 0,    //
                               1, 0, 4, 0}) +
                  std::string(24, '\0') +
                  bytes_of({0xff, 0xff, 0xff, 0, 0xff, 0xff, 0xff, 0}) +
                  std::string(14 * 4, '\0'));
}

struct BmpSize {
    int width, height, format;
    std::size_t size;
};

void PrintTo(const BmpSize &c, std::ostream *os) {
    *os << c.width << "x" << c.height << " format " << c.format;
}

class BmpSizes : public testing::TestWithParam<BmpSize> {};

TEST_P(BmpSizes, FileSizeMatchesItsField) {
    const BmpSize c = GetParam();
    make_canvas(c.width, c.height);
    const std::string bmp = written(c.format);
    ASSERT_EQ(bmp.size(), c.size);
    const std::size_t field = static_cast<unsigned char>(bmp[2]) |
                              static_cast<unsigned char>(bmp[3]) << 8 |
                              static_cast<unsigned char>(bmp[4]) << 16 |
                              static_cast<std::size_t>(static_cast<unsigned char>(bmp[5])) << 24;
    EXPECT_EQ(field, c.size);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BmpSizes,
                         testing::Values(BmpSize{21, 21, FORMAT_BMP, 326},
                                         BmpSize{21, 21, FORMAT_BMPWIN, 370},
                                         BmpSize{600, 600, FORMAT_BMP, 600 * 300 + 74},
                                         BmpSize{600, 600, FORMAT_BMPWIN, 600 * 300 + 118},
                                         BmpSize{8192, 21, FORMAT_BMPWIN, 21 * 4096 + 118}));

// 21 by 3, inside colour everywhere; the bottom row starts with a minute
// pixel and an hour pixel and ends with a rim pixel, the top row starts with
// a rim pixel.  Custom colours reach the palette in blue, green, red order.
class BmpPixels : public testing::TestWithParam<int> {};

TEST_P(BmpPixels, BottomRowFirstHighNibbleFirstPaddingZero) {
    const int format = GetParam();
    make_canvas(21, 3);
    face_set_pen(PEN_INSIDE);
    face_fill(0, 0, 20, 2);
    put_pen(0, 0, PEN_MINUTE);
    put_pen(1, 0, PEN_HOUR);
    put_pen(20, 0, PEN_SQUARE);
    put_pen(0, 2, PEN_SQUARE);
    const int colours[5][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {13, 14, 15}};
    for (int pen = 0; pen < 5; pen++)
        for (int i = 0; i < 3; i++)
            pen_rgb[pen][i] = colours[pen][i];

    const std::string bmp = written(format);
    const std::size_t entry = format == FORMAT_BMP ? 3 : 4;
    const std::size_t palette = format == FORMAT_BMP ? 26 : 54;
    const std::size_t header = palette + 16 * entry;
    ASSERT_EQ(bmp.size(), header + 3 * 12);

    std::string expected_palette;
    for (int pen = 0; pen < 16; pen++) {
        for (int i = 2; i >= 0; i--)
            expected_palette.push_back(static_cast<char>(pen < 5 ? colours[pen][i] : 0));
        if (entry == 4)
            expected_palette.push_back('\0');
    }
    EXPECT_EQ(bmp.substr(palette, 16 * entry), expected_palette);

    const std::string inside_row = std::string(10, '\x11') + bytes_of({0x10, 0x00});
    EXPECT_EQ(bmp.substr(header),
              bytes_of({0x43, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x20, 0x00}) +
                  inside_row + bytes_of({0x21}) + inside_row.substr(1));
}

INSTANTIATE_TEST_SUITE_P(Forms, BmpPixels, testing::Values(FORMAT_BMP, FORMAT_BMPWIN));

// What a PNG holds: its bit depth and palette size from the header chunks,
// and its pixels as red, green and blue bytes, the top row first.
struct PngContents {
    int depth = 0;
    int entries = 0;
    std::string rgb;
};

PngContents read_png(const std::string &png) {
    PngContents contents;
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    contents.depth = static_cast<unsigned char>(png[24]);
    EXPECT_EQ(png[25], 3) << "colour type: palette";
    EXPECT_EQ(png.substr(37, 4), "PLTE");
    contents.entries = static_cast<unsigned char>(png[36]) / 3;

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) {
        ADD_FAILURE() << image.message;
        return contents;
    }
    image.format = PNG_FORMAT_RGB;
    contents.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, contents.rgb.data(), 0, nullptr))
        ADD_FAILURE() << image.message;
    return contents;
}

// The PPM's pixels, without its header.
std::string ppm_pixels() {
    const std::string ppm = written(FORMAT_PPM);
    return ppm.substr(ppm.find("255\n") + 4);
}

TEST(Png, FiveColoursTakeFourBitsAndKeepEveryPixel) {
    make_colour_fixture();
    const PngContents png = read_png(written(FORMAT_PNG));
    EXPECT_EQ(png.depth, 4);
    EXPECT_EQ(png.entries, 5);
    EXPECT_EQ(png.rgb, ppm_pixels());
}

// Pens of one colour share a palette entry, and the number of entries sets
// the bits per pixel.  Each case recolours a drawn face.
struct PngPalette {
    const char *name;
    int colours[5][3];
    int entries;
    int depth;
};

void PrintTo(const PngPalette &c, std::ostream *os) { *os << c.name; }

class PngPalettes : public testing::TestWithParam<PngPalette> {};

TEST_P(PngPalettes, FewestBitsThatHoldTheColours) {
    const PngPalette &c = GetParam();
    // Widths that end a row inside a byte at each depth, and one that does
    // not; one of 8192 to take the widest row.
    for (const int width : {21, 22, 80, 8192}) {
        SCOPED_TRACE(width);
        make_canvas(width, 40);
        face_draw(4, 21, 50, width, 40, -1);
        for (int pen = 0; pen < 5; pen++)
            for (int i = 0; i < 3; i++)
                pen_rgb[pen][i] = c.colours[pen][i];
        const PngContents png = read_png(written(FORMAT_PNG));
        EXPECT_EQ(png.entries, c.entries);
        EXPECT_EQ(png.depth, c.depth);
        EXPECT_EQ(png.rgb, ppm_pixels());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Colours, PngPalettes,
    testing::Values(
        PngPalette{"default", {{255, 255, 255}, {255, 255, 255}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
                   2, 1},
        PngPalette{"one_colour", {{7, 7, 7}, {7, 7, 7}, {7, 7, 7}, {7, 7, 7}, {7, 7, 7}}, 1, 1},
        PngPalette{"three", {{0, 0, 0}, {9, 9, 9}, {0, 0, 0}, {0, 0, 255}, {0, 0, 255}}, 3, 2},
        PngPalette{"four", {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, 0}}, 4, 2},
        // Colours that differ in one component only are five entries.
        PngPalette{"five", {{5, 5, 5}, {5, 5, 6}, {5, 6, 5}, {6, 5, 5}, {5, 5, 4}}, 5, 4}),
    [](const testing::TestParamInfo<PngPalette> &test) { return test.param.name; });

// One rectangle per fill, in the order of the fills, rows counted from the
// top; the fill of the whole image first.
TEST(Svg, ExactText) {
    make_colour_fixture();
    shown_hour = 0;
    shown_minute = 7;
    shown_second = 5;
    EXPECT_EQ(written(FORMAT_SVG),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"3\" "
              "height=\"2\" viewBox=\"0 0 3 2\" shape-rendering=\"crispEdges\">\n"
              "<title>0:07:05</title>\n"
              "<rect x=\"0\" y=\"0\" width=\"3\" height=\"2\" fill=\"#ffffff\"/>\n"
              "<rect x=\"1\" y=\"0\" width=\"1\" height=\"1\" fill=\"#0102ab\"/>\n"
              "<rect x=\"2\" y=\"0\" width=\"1\" height=\"1\" fill=\"#000000\"/>\n"
              "<rect x=\"0\" y=\"1\" width=\"1\" height=\"1\" fill=\"#102030\"/>\n"
              "<rect x=\"1\" y=\"1\" width=\"1\" height=\"1\" fill=\"#ff0080\"/>\n"
              "</svg>\n");
}

// The largest picture still takes a few hundred bytes: one line per fill.
TEST(Svg, SizeDoesNotGrowWithThePicture) {
    make_canvas(8192, 8192);
    face_draw(10, 7, 30, 8192, 8192, -1);
    shown_hour = 23;
    shown_minute = 59;
    shown_second = 59;
    const std::string svg = written(FORMAT_SVG);
    EXPECT_LT(svg.size(), 4096u);
    EXPECT_NE(svg.find("width=\"8192\" height=\"8192\" viewBox=\"0 0 8192 8192\""),
              std::string::npos);
    EXPECT_NE(svg.find("<title>23:59:59</title>"), std::string::npos);
}

}  // namespace
