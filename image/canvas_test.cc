// The canvas: padding columns beyond the image's width, and fills in face
// coordinates (y from the bottom row up).
#include "canvas.h"
#include "options.h"
#include "quadface.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace {

void make_canvas(int width, int height) {
    start_options(0, nullptr);
    image_width = width;
    image_height = height;
    alloc_canvas();
}

// Every pen of the canvas, padding included, row by row from the bottom.
std::vector<unsigned char> snapshot() {
    std::vector<unsigned char> pens;
    for (int y = 0; y < image_height; y++)
        pens.insert(pens.end(), canvas_row(y), canvas_row(y) + canvas_columns);
    return pens;
}

void expect_padding_clear() {
    for (int y = 0; y < image_height; y++)
        for (int x = image_width; x < canvas_columns; x++)
            ASSERT_EQ(canvas_row(y)[x], PEN_BACKGROUND) << "x " << x << " y " << y;
}

struct ColumnsCase {
    int width;
    int columns;
};

void PrintTo(const ColumnsCase &c, std::ostream *os) { *os << "width " << c.width; }

class CanvasColumns : public testing::TestWithParam<ColumnsCase> {};

TEST_P(CanvasColumns, PaddingStaysBackgroundBeforeAndAfterDrawing) {
    const ColumnsCase c = GetParam();
    make_canvas(c.width, 33);
    EXPECT_EQ(canvas_columns, c.columns);
    expect_padding_clear();

    // The whole image in the hour's pen, as a drawing might leave it.
    face_set_pen(PEN_HOUR);
    face_fill(0, 0, image_width - 1, image_height - 1);
    for (int y = 0; y < image_height; y++)
        for (int x = 0; x < image_width; x++)
            ASSERT_EQ(canvas_row(y)[x], PEN_HOUR) << "x " << x << " y " << y;
    expect_padding_clear();

    face_draw(10, 7, 30, image_width, image_height, -1);
    expect_padding_clear();
}

INSTANTIATE_TEST_SUITE_P(Widths, CanvasColumns,
                         testing::Values(ColumnsCase{21, 24}, ColumnsCase{23, 24},
                                         ColumnsCase{24, 24}, ColumnsCase{25, 32},
                                         ColumnsCase{75, 80}, ColumnsCase{80, 80},
                                         ColumnsCase{600, 600}));

struct FillCase {
    const char *name;
    int x0, y0, x1, y1;
    int changed;  // bytes that change from the background
};

void PrintTo(const FillCase &c, std::ostream *os) { *os << c.name; }

class CanvasFill : public testing::TestWithParam<FillCase> {};

TEST_P(CanvasFill, ChangesExactlyTheRectangle) {
    const FillCase c = GetParam();
    make_canvas(21, 30);
    face_set_pen(PEN_BACKGROUND);
    face_fill(0, 0, 20, 29);
    const std::vector<unsigned char> before = snapshot();

    face_set_pen(PEN_MINUTE);
    face_fill(c.x0, c.y0, c.x1, c.y1);

    int changed = 0;
    for (int y = 0; y < image_height; y++)
        for (int x = 0; x < canvas_columns; x++) {
            const bool inside = x >= c.x0 && x <= c.x1 && y >= c.y0 && y <= c.y1;
            const unsigned char pen = canvas_row(y)[x];
            if (pen != before[static_cast<std::size_t>(y * canvas_columns + x)])
                changed++;
            ASSERT_EQ(pen, inside ? PEN_MINUTE : PEN_BACKGROUND) << "x " << x << " y " << y;
        }
    EXPECT_EQ(changed, c.changed);
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, CanvasFill,
    testing::Values(FillCase{"x0_after_x1", 5, 3, 4, 9, 0},
                    FillCase{"y1_below_y0", 2, 8, 6, 7, 0},
                    FillCase{"one_pixel", 7, 11, 7, 11, 1},
                    FillCase{"bottom_row", 0, 0, 20, 0, 21},
                    FillCase{"top_right_corner", 20, 29, 20, 29, 1},
                    FillCase{"whole_image", 0, 0, 20, 29, 21 * 30},
                    FillCase{"block", 3, 4, 9, 6, 7 * 3}),
    [](const testing::TestParamInfo<FillCase> &test) { return test.param.name; });

// The fills that painted something, as they came; a fill of the whole
// image hides everything before it and starts the list again.
TEST(CanvasFills, NonEmptyFillsInOrderFromTheLastWholeImage) {
    make_canvas(30, 20);
    face_set_pen(PEN_HOUR);
    face_fill(1, 2, 3, 4);
    face_set_pen(PEN_BACKGROUND);
    face_fill(0, 0, 29, 19);
    face_set_pen(PEN_SQUARE);
    face_fill(5, 5, 4, 9);   // empty: x1 < x0
    face_fill(5, 5, 9, 4);   // empty: y1 < y0
    face_fill(0, 0, 29, 0);  // the bottom row only
    face_set_pen(PEN_MINUTE);
    face_fill(7, 8, 7, 8);
    face_set_pen(0x104);  // stored as the canvas stores it, the low 8 bits
    face_fill(29, 19, 29, 19);

    int count = -1;
    const FillRecord *fills = canvas_fills(count);
    ASSERT_EQ(count, 4);
    const FillRecord expected[] = {
        {PEN_BACKGROUND, 0, 0, 29, 19}, {PEN_SQUARE, 0, 0, 29, 0},
        {PEN_MINUTE, 7, 8, 7, 8}, {PEN_MINUTE, 29, 19, 29, 19}};
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fills[i].pen, expected[i].pen);
        EXPECT_EQ(fills[i].x0, expected[i].x0);
        EXPECT_EQ(fills[i].y0, expected[i].y0);
        EXPECT_EQ(fills[i].x1, expected[i].x1);
        EXPECT_EQ(fills[i].y1, expected[i].y1);
    }

    // A new canvas starts with none; a drawing of the face lists its own.
    make_canvas(80, 80);
    canvas_fills(count);
    EXPECT_EQ(count, 0);
    face_draw(10, 7, 30, 80, 80, -1);
    fills = canvas_fills(count);
    ASSERT_GE(count, 1);
    EXPECT_EQ(fills[0].pen, PEN_BACKGROUND);
    EXPECT_EQ(fills[0].x1, 79);
    EXPECT_EQ(fills[0].y1, 79);
}

}  // namespace
