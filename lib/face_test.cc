// The library's tests.  This binary is the host: it defines the two
// primitives and records every call in order, so that a drawing can be
// compared call by call or checked against what every host relies on.

#include "face_layout.h"
#include "quadface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace {

enum Kind { PEN, FILL };

struct Call {
    Kind kind;
    int x0, y0, x1, y1;  // for PEN only x0 is used, as the pen
    bool operator==(const Call &) const = default;
};

Call pen(int p) { return {PEN, p, 0, 0, 0}; }
Call fill(int x0, int y0, int x1, int y1) { return {FILL, x0, y0, x1, y1}; }

std::ostream &operator<<(std::ostream &os, const Call &c) {
    if (c.kind == PEN)
        return os << "pen " << c.x0;
    return os << "fill(" << c.x0 << ", " << c.y0 << ", " << c.x1 << ", " << c.y1 << ")";
}

struct Rect {
    int x0, y0, x1, y1;
};

Call fill(Rect r) { return fill(r.x0, r.y0, r.x1, r.y1); }

std::vector<Call> recorded;

// Set in the child of a death test: a primitive call then shows up on
// standard error next to the library's message.
bool report_calls = false;

}  // namespace

extern "C" void face_set_pen(int p) {
    if (report_calls)
        std::fputs("face_set_pen called\n", stderr);
    recorded.push_back(pen(p));
}

extern "C" void face_fill(int x0, int y0, int x1, int y1) {
    if (report_calls)
        std::fputs("face_fill called\n", stderr);
    recorded.push_back(fill(x0, y0, x1, y1));
}

namespace {

const std::vector<Call> &draw(int hour, int minute, int second, int width,
                              int height, int border) {
    recorded.clear();
    face_draw(hour, minute, second, width, height, border);
    return recorded;
}

std::string time_text(int hour, int minute, int second) {
    char text[48];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", hour, minute, second);
    return text;
}

std::string size_text(int width, int height, int border) {
    return std::to_string(width) + " x " + std::to_string(height) + ", border " +
           std::to_string(border);
}

// The fills made after PEN_MINUTE, that is the minute bars.
std::vector<Call> bar_fills(const std::vector<Call> &calls) {
    for (std::size_t i = 0; i < calls.size(); i++)
        if (calls[i] == pen(PEN_MINUTE))
            return {calls.begin() + long(i) + 1, calls.end()};
    return {};
}

// ---------------------------------------------------------------------------
// Layout

struct LayoutCase {
    int width, height, border;
    int border_used, margin, bar_pitch, bar_zone, bar_gap, bar_thickness;
    int cell_size, square_size, bar_length;
    int cell_edge[6];
    int bar_slot[3];
};

constexpr LayoutCase layout_cases[] = {
    {21, 21, -1, 0, 1, 2, 10, 1, 1, 3, 11, 3, {1, 3, 4, 6, 7, 9}, {0, 4, 8}},
    {22, 22, -1, 0, 1, 2, 10, 1, 1, 3, 11, 3, {1, 3, 4, 6, 7, 9}, {0, 4, 8}},
    {23, 23, -1, 1, 1, 2, 10, 1, 1, 3, 11, 3, {1, 3, 4, 6, 7, 9}, {0, 4, 8}},
    {60, 60, -1, 1, 2, 4, 20, 1, 3, 11, 37, 9, {2, 12, 13, 23, 24, 34}, {0, 14, 28}},
    {64, 64, -1, 1, 2, 4, 20, 1, 3, 12, 40, 8, {2, 13, 14, 25, 26, 37}, {0, 16, 32}},
    {64, 64, 0, 0, 2, 4, 20, 1, 3, 13, 43, 9, {2, 14, 15, 27, 28, 40}, {0, 17, 34}},
    {64, 64, 3, 3, 2, 4, 20, 1, 3, 11, 37, 9, {2, 12, 13, 23, 24, 34}, {0, 14, 28}},
    {80, 80, -1, 1, 3, 5, 25, 2, 3, 15, 51, 11, {3, 17, 18, 32, 33, 47}, {0, 20, 40}},
    {100, 60, -1, 1, 2, 4, 20, 1, 3, 11, 37, 9, {2, 12, 13, 23, 24, 34}, {0, 14, 28}},
    {120, 120, -1, 2, 4, 8, 40, 3, 5, 22, 74, 16, {4, 25, 26, 47, 48, 69}, {0, 29, 58}},
    {200, 200, -1, 3, 7, 13, 65, 4, 9, 38, 128, 26, {7, 44, 45, 82, 83, 120}, {0, 51, 102}},
    // The first sizes with a wider rim, bar pitch and gap, and the sizes before.
    {41, 41, -1, 1, 1, 3, 15, 1, 2, 7, 23, 5, {1, 7, 8, 14, 15, 21}, {0, 9, 18}},
    {42, 42, -1, 1, 2, 3, 15, 1, 2, 7, 25, 5, {2, 8, 9, 15, 16, 22}, {0, 10, 20}},
    {52, 52, -1, 1, 2, 3, 15, 1, 2, 10, 34, 8, {2, 11, 12, 21, 22, 31}, {0, 13, 26}},
    {53, 53, -1, 1, 2, 4, 20, 1, 3, 9, 31, 7, {2, 10, 11, 19, 20, 28}, {0, 12, 24}},
    {67, 67, -1, 1, 2, 4, 20, 1, 3, 13, 43, 9, {2, 14, 15, 27, 28, 40}, {0, 17, 34}},
    {68, 68, -1, 1, 2, 5, 25, 2, 3, 12, 40, 8, {2, 13, 14, 25, 26, 37}, {0, 16, 32}},
};

TEST(FaceLayout, WorkedSizes) {
    for (const LayoutCase &c : layout_cases) {
        SCOPED_TRACE(size_text(c.width, c.height, c.border));
        face_layout(c.width, c.height, c.border);
        const FaceLayout &l = face_current_layout();
        EXPECT_EQ(l.cached_width, c.width);
        EXPECT_EQ(l.cached_height, c.height);
        EXPECT_EQ(l.cached_border, c.border);
        EXPECT_EQ(l.border_used, c.border_used);
        EXPECT_EQ(l.margin, c.margin);
        EXPECT_EQ(l.bar_gap + l.bar_thickness, c.bar_pitch);
        EXPECT_EQ(l.bar_zone, c.bar_zone);
        EXPECT_EQ(l.bar_gap, c.bar_gap);
        EXPECT_EQ(l.bar_thickness, c.bar_thickness);
        EXPECT_EQ(l.cell_size, c.cell_size);
        EXPECT_EQ(l.square_size, c.square_size);
        EXPECT_EQ(l.bar_length, c.bar_length);
        for (int i = 0; i < 6; i++)
            EXPECT_EQ(l.cell_edge[i], c.cell_edge[i]) << "cell_edge[" << i << "]";
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(l.bar_slot[i], c.bar_slot[i]) << "bar_slot[" << i << "]";
    }
}

// Everything but the cache key and the square's place.
bool same_geometry(const FaceLayout &a, const FaceLayout &b) {
    bool same = a.border_used == b.border_used && a.margin == b.margin &&
                a.bar_zone == b.bar_zone && a.bar_gap == b.bar_gap &&
                a.bar_thickness == b.bar_thickness && a.cell_size == b.cell_size &&
                a.square_size == b.square_size && a.bar_length == b.bar_length;
    for (int i = 0; i < 6; i++)
        same = same && a.cell_edge[i] == b.cell_edge[i];
    for (int i = 0; i < 3; i++)
        same = same && a.bar_slot[i] == b.bar_slot[i];
    return same;
}

TEST(FaceLayout, AutomaticBorderGrowsWithTheShorterSide) {
    struct Range {
        int first_side, last_side, border_used;
    };
    constexpr Range ranges[] = {
        {21, 22, 0}, {23, 59, 1}, {60, 119, 1}, {120, 179, 2}, {180, 239, 3}, {240, 299, 4},
    };
    for (const Range &r : ranges) {
        for (int side = r.first_side; side <= r.last_side; side++) {
            SCOPED_TRACE("side " + std::to_string(side));
            face_layout(side, side, -1);
            const FaceLayout square = face_current_layout();
            EXPECT_EQ(square.border_used, r.border_used);
            // Only the shorter side counts, whichever axis it is on.
            face_layout(side + 57, side, -1);
            EXPECT_TRUE(same_geometry(face_current_layout(), square)) << "wider image";
            face_layout(side, side + 301, -1);
            EXPECT_TRUE(same_geometry(face_current_layout(), square)) << "taller image";
        }
    }
    face_layout(8192, 21, -1);
    EXPECT_EQ(face_current_layout().border_used, 0);
    face_layout(8192, 8191, -1);
    EXPECT_EQ(face_current_layout().border_used, 136);
}

TEST(FaceLayout, GivenBorderIsUsedAsIs) {
    struct Accepted {
        int width, height, border;
    };
    // The largest borders that leave 21 pixels, and a border of 0 where the
    // automatic one would be 1 or more.
    constexpr Accepted cases[] = {
        {21, 21, 0}, {22, 22, 0}, {23, 23, 1}, {61, 61, 20}, {100, 61, 20},
        {61, 100, 20}, {64, 64, 21}, {64, 64, 0}, {300, 300, 0}, {300, 300, 139},
    };
    for (const Accepted &c : cases) {
        SCOPED_TRACE(size_text(c.width, c.height, c.border));
        face_layout(c.width, c.height, c.border);
        EXPECT_EQ(face_current_layout().border_used, c.border);
    }
}

// What must hold for every size and border the library accepts.
TEST(FaceLayout, GeometryFitsEverySizeAndBorder) {
    int failures = 0;
    for (int side = 21; side <= 420 && failures < 10; side++) {
        const int largest_border = (side - 21) / 2;
        for (int border = -1; border <= largest_border; border++) {
            face_layout(side, side, border);
            const FaceLayout &l = face_current_layout();
            const int used = l.square_size + l.bar_zone + 2 * l.border_used;
            const int slot_gap = (l.square_size - 3 * l.bar_length) / 2;
            const bool ok =
                l.bar_gap >= 1 && l.bar_thickness >= 1 &&
                l.bar_zone == 5 * (l.bar_gap + l.bar_thickness) &&
                used <= side && used >= side - 2 &&
                l.square_size == 2 * l.margin + 3 * l.cell_size &&
                // the shortest length of the side's parity whose fivefold covers it
                l.bar_length >= 1 && l.bar_length % 2 == l.square_size % 2 &&
                5 * l.bar_length >= l.square_size &&
                5 * (l.bar_length - 2) < l.square_size &&
                slot_gap >= 1 && slot_gap <= l.bar_length &&
                l.bar_slot[0] == 0 &&
                2 * l.bar_slot[1] + l.bar_length == l.square_size &&
                l.bar_slot[2] + l.bar_length == l.square_size &&
                l.cell_edge[0] == l.margin &&
                l.cell_edge[1] - l.cell_edge[0] + 1 == l.cell_size &&
                l.cell_edge[2] == l.cell_edge[1] + 1 &&
                l.cell_edge[3] - l.cell_edge[2] + 1 == l.cell_size &&
                l.cell_edge[4] == l.cell_edge[3] + 1 &&
                l.cell_edge[5] - l.cell_edge[4] + 1 == l.cell_size &&
                l.cell_edge[5] == l.square_size - l.margin - 1;
            if (!ok) {
                ADD_FAILURE() << "geometry does not fit " << size_text(side, side, border);
                failures++;
            }
        }
    }
}

TEST(FaceLayout, CacheKeepsOneResultPerRequest) {
    // A size no other test uses, so the first call computes.
    face_layout(77, 91, -1);
    const FaceLayout &l = face_current_layout();
    EXPECT_EQ(l.cached_border, -1);
    EXPECT_EQ(l.border_used, 1);

    // Another automatic border is the same request: nothing is recomputed.
    face_layout(77, 91, -5);
    EXPECT_EQ(l.cached_border, -1);

    // Border 1 comes out the same as the automatic one but is a new request.
    face_layout(77, 91, 1);
    EXPECT_EQ(l.cached_border, 1);
    EXPECT_EQ(l.border_used, 1);

    face_layout(77, 91, -3);
    EXPECT_EQ(l.cached_border, -3);

    // Border 0 is not automatic.
    face_layout(77, 91, 0);
    EXPECT_EQ(l.cached_border, 0);
    EXPECT_EQ(l.border_used, 0);

    // Width and height are each part of the request.
    face_layout(64, 64, -1);
    EXPECT_EQ(l.square_size, 40);
    face_layout(64, 65, -1);
    EXPECT_EQ(l.cached_height, 65);
    face_layout(65, 65, -1);
    EXPECT_EQ(l.cached_width, 65);
    face_layout(64, 64, 0);
    EXPECT_EQ(l.square_size, 43);
    face_layout(64, 64, -2);
    EXPECT_EQ(l.square_size, 40);
}

TEST(FaceDraw, SameDrawingAfterAnotherSize) {
    const std::vector<Call> first = draw(3, 0, 0, 64, 64, -1);
    draw(3, 0, 0, 80, 80, 0);
    draw(3, 0, 0, 64, 80, -1);
    EXPECT_EQ(draw(3, 0, 0, 64, 64, -1), first);
    EXPECT_EQ(draw(3, 0, 0, 64, 64, -9), first);
}

// ---------------------------------------------------------------------------
// Sizes the face cannot be laid out in

struct RejectedCase {
    int width, height, border;
    const char *message;
};

constexpr const char too_small[] = "^Quadface: too small\n$";
constexpr const char border_too_large[] = "^Quadface: border too large for size\n$";
constexpr const char too_large[] = "^Quadface: too large\n$";

constexpr RejectedCase rejected_cases[] = {
    {20, 64, -1, too_small},
    {20, 64, 0, too_small},
    {20, 64, 5, too_small},
    {64, 20, -1, too_small},
    {64, 20, 0, too_small},
    {64, 20, INT_MAX, too_small},
    {20, 20, 1, too_small},
    {0, 0, -1, too_small},
    {-64, 64, -1, too_small},
    {INT_MIN, 64, 0, too_small},
    {64, INT_MIN, 0, too_small},
    {22, 22, 1, border_too_large},
    {64, 22, 1, border_too_large},
    {22, 64, 1, border_too_large},
    {64, 64, 22, border_too_large},
    {100, 60, 20, border_too_large},
    {60, 100, 20, border_too_large},
    {300, 300, 140, border_too_large},
    // Twice these borders does not fit an int.
    {64, 64, 1 << 30, border_too_large},
    {64, 64, INT_MAX - 15, border_too_large},
    {64, 64, INT_MAX, border_too_large},
    {INT_MAX, INT_MAX, INT_MAX, border_too_large},
    {INT_MAX, INT_MAX, INT_MAX / 2 - 9, border_too_large},
    // A side the face cannot be placed on exactly; the smaller messages
    // come first.
    {FACE_MAX_SIZE + 1, 64, -1, too_large},
    {64, FACE_MAX_SIZE + 1, 0, too_large},
    {FACE_MAX_SIZE + 1, FACE_MAX_SIZE + 1, (FACE_MAX_SIZE - 20) / 2, too_large},
    {INT_MAX, INT_MAX, INT_MAX / 2 - 10, too_large},
    {INT_MAX, 21, 0, too_large},
    {INT_MAX, 20, -1, too_small},
    {INT_MAX, 64, 22, border_too_large},
};

void draw_reporting_calls(int width, int height, int border) {
    report_calls = true;
    face_draw(0, 0, 0, width, height, border);
}

TEST(FaceDrawDeathTest, RejectedSizesEndTheProcessBeforeAnyCall) {
    for (const RejectedCase &c : rejected_cases) {
        SCOPED_TRACE(size_text(c.width, c.height, c.border));
        EXPECT_EXIT(draw_reporting_calls(c.width, c.height, c.border),
                    ::testing::ExitedWithCode(1), c.message);
    }
}

// Every int size and border either draws within the contract or ends with a
// message: in a build with UndefinedBehaviorSanitizer, an overflow on the
// way to either ends this test.  Defined below.
::testing::AssertionResult keeps_the_contract(const std::vector<Call> &calls, int width,
                                              int height);

TEST(FaceDrawDeathTest, EveryIntSizeDrawsOrIsRefused) {
    // Up to the largest size: every pair of these sides draws, with borders
    // from none to the largest.
    std::vector<int> drawn = {22, 23, 60, 4097, 8193, 1 << 23, FACE_MAX_SIZE - 1, FACE_MAX_SIZE};
    for (int side = 21; side <= FACE_MAX_SIZE / 2; side = side * 2 + 1)
        drawn.push_back(side);
    for (int width : drawn) {
        for (int height : drawn) {
            const int largest = (std::min(width, height) - 21) / 2;
            for (int border : {-1, 0, 1, largest / 2, largest}) {
                if (border > largest)
                    continue;
                SCOPED_TRACE(size_text(width, height, border));
                for (int minute : {0, 14, 29, 44, 59})
                    ASSERT_TRUE(keeps_the_contract(draw(5, minute, 59, width, height, border),
                                                   width, height))
                        << " at minute " << minute;
            }
        }
    }
    // Beyond it, whatever the other side and the border, a message.
    constexpr int largest_size = FACE_MAX_SIZE;
    for (int beyond : {largest_size + 1, 350000000, 1600000000, INT_MAX}) {
        for (int other : {21, 4097, largest_size, largest_size + 1, INT_MAX}) {
            const long long largest = (std::min(beyond, other) - 21LL) / 2;
            for (long long border : {-1LL, largest, largest + 1, 0LL + INT_MAX}) {
                if (border > INT_MAX)
                    continue;
                const char *message = border > largest ? border_too_large : too_large;
                SCOPED_TRACE(size_text(beyond, other, int(border)));
                EXPECT_EXIT(draw_reporting_calls(beyond, other, int(border)),
                            ::testing::ExitedWithCode(1), message);
                EXPECT_EXIT(draw_reporting_calls(other, beyond, int(border)),
                            ::testing::ExitedWithCode(1), message);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Place of the square and the hour marker

TEST(FaceDraw, CompleteCallSequence) {
    const std::vector<Call> expected = {
        pen(PEN_BACKGROUND), fill(0, 0, 63, 63),
        pen(PEN_SQUARE), fill(12, 3, 51, 42),
        pen(PEN_INSIDE), fill(14, 5, 49, 40),
        pen(PEN_HOUR), fill(26, 17, 49, 28), fill(38, 17, 49, 28),
        pen(PEN_MINUTE), fill(28, 44, 35, 46), fill(28, 48, 35, 50), fill(28, 52, 35, 54),
        fill(28, 56, 35, 58), fill(28, 60, 35, 62),
    };
    EXPECT_EQ(draw(3, 0, 0, 64, 64, -1), expected);
}

struct SquareCase {
    int hour, minute, second, width, height;
    int origin_x, origin_y;
    Rect square, inside, hour_first, hour_second;
};

constexpr SquareCase square_cases[] = {
    {3, 0, 0, 64, 64, 12, 3, {12, 3, 51, 42}, {14, 5, 49, 40}, {26, 17, 49, 28}, {38, 17, 49, 28}},
    {10, 7, 30, 64, 64, 3, 3, {3, 3, 42, 42}, {5, 5, 40, 40}, {5, 19, 16, 40}, {17, 29, 18, 40}},
    // The second hour fill is empty and passed on unchanged.
    {12, 0, 0, 64, 64, 12, 3, {12, 3, 51, 42}, {14, 5, 49, 40}, {26, 17, 37, 40}, {38, 29, 37, 40}},
    {6, 30, 0, 64, 64, 12, 21, {12, 21, 51, 60}, {14, 23, 49, 58}, {26, 23, 37, 40}, {20, 23, 25, 34}},
    {0, 57, 45, 64, 64, 16, 3, {16, 3, 55, 42}, {18, 5, 53, 40}, {30, 29, 41, 40}, {42, 29, 53, 40}},
    {9, 42, 0, 64, 64, 21, 17, {21, 17, 60, 56}, {23, 19, 58, 54}, {23, 31, 38, 42}, {23, 43, 34, 50}},
    {12, 0, 0, 100, 60, 32, 2, {32, 2, 68, 38}, {34, 4, 66, 36}, {45, 15, 55, 36}, {56, 26, 55, 36}},
    {12, 12, 0, 100, 60, 32, 6, {32, 6, 68, 42}, {34, 8, 66, 40}, {45, 21, 55, 40}, {56, 30, 57, 40}},
    {12, 15, 0, 100, 60, 32, 12, {32, 12, 68, 48}, {34, 14, 66, 46}, {45, 28, 55, 46}, {56, 36, 58, 46}},
    {12, 30, 0, 100, 60, 32, 21, {32, 21, 68, 57}, {34, 23, 66, 55}, {45, 40, 55, 55}, {56, 45, 61, 55}},
    // On the quarter hours the square is centred on one axis and pushed
    // as far as it goes on the other.
    {0, 15, 0, 64, 64, 3, 12, {3, 12, 42, 51}, {5, 14, 40, 49}, {17, 29, 28, 49}, {29, 38, 31, 49}},
    {0, 45, 0, 64, 64, 21, 12, {21, 12, 60, 51}, {23, 14, 58, 49}, {35, 35, 46, 49}, {47, 38, 55, 49}},
    // The smallest face touches the image's left and bottom edges.
    {5, 5, 0, 21, 21, 0, 0, {0, 0, 10, 10}, {1, 1, 9, 9}, {4, 1, 9, 3}, {4, 4, 6, 3}},
};

TEST(FaceDraw, SquareInsideAndHourFills) {
    for (const SquareCase &c : square_cases) {
        SCOPED_TRACE(time_text(c.hour, c.minute, c.second) + " on " +
                     size_text(c.width, c.height, -1));
        const std::vector<Call> &calls = draw(c.hour, c.minute, c.second, c.width, c.height, -1);
        ASSERT_GE(calls.size(), 9u);
        EXPECT_EQ(face_current_layout().origin_x, c.origin_x);
        EXPECT_EQ(face_current_layout().origin_y, c.origin_y);
        EXPECT_EQ(calls[3], fill(c.square));
        EXPECT_EQ(calls[5], fill(c.inside));
        EXPECT_EQ(calls[7], fill(c.hour_first));
        EXPECT_EQ(calls[8], fill(c.hour_second));
    }
}

// The minute position, the shift and the room beside the square are each
// rounded to single precision; in double precision these would land one
// pixel off.
TEST(FaceDraw, PlacementInSinglePrecision) {
    struct Placement {
        int minute, second, origin_x, origin_y;
    };
    constexpr Placement cases[] = {
        {10, 50, 3, 4}, {29, 10, 10, 21}, {19, 10, 3, 20}, {55, 50, 20, 3},
    };
    for (const Placement &c : cases) {
        SCOPED_TRACE(time_text(0, c.minute, c.second));
        draw(0, c.minute, c.second, 64, 64, -1);
        EXPECT_EQ(face_current_layout().origin_x, c.origin_x);
        EXPECT_EQ(face_current_layout().origin_y, c.origin_y);
    }
}

TEST(FaceDraw, SquareMovesOnlyOnAxesWithoutRoomForTwoBands) {
    int lowest_x = INT_MAX, highest_x = INT_MIN, lowest_y = INT_MAX, highest_y = INT_MIN;
    for (int minute = 0; minute < 60; minute++) {
        for (int second = 0; second < 60; second += 15) {
            SCOPED_TRACE(time_text(7, minute, second));
            draw(7, minute, second, 100, 60, -1);
            EXPECT_EQ(face_current_layout().origin_x, 32);
            draw(7, minute, second, 60, 100, -1);
            EXPECT_EQ(face_current_layout().origin_y, 32);
            draw(7, minute, second, 64, 64, -1);
            const FaceLayout &l = face_current_layout();
            lowest_x = std::min(lowest_x, l.origin_x);
            highest_x = std::max(highest_x, l.origin_x);
            lowest_y = std::min(lowest_y, l.origin_y);
            highest_y = std::max(highest_y, l.origin_y);
        }
    }
    // A square image: from one bar band plus border to the other, both ways.
    EXPECT_EQ(lowest_x, 3);
    EXPECT_EQ(highest_x, 21);
    EXPECT_EQ(lowest_y, 3);
    EXPECT_EQ(highest_y, 21);
}

struct HourCase {
    int hour, minute, second;
    Rect first, second_fill;
};

// 80 x 80, automatic border: cells of 15, edges 3, 17, 18, 32, 33, 47, and
// the square at (10, 3) for minute 2, at (15, 26) for minute 30.  Within the hour the marker's advance
// is rounded in single precision: at h:02:00 it is 1 for hours 0 and 8 to
// 11 but 0 for hours 1 to 7.
constexpr HourCase hour_cases[] = {
    {0, 2, 0, {28, 22, 42, 50}, {43, 36, 43, 50}},
    {1, 2, 0, {28, 36, 57, 50}, {43, 36, 57, 35}},
    {2, 2, 0, {43, 21, 57, 50}, {43, 21, 42, 35}},
    {3, 2, 0, {28, 21, 57, 35}, {43, 21, 57, 35}},
    {4, 2, 0, {43, 6, 57, 35}, {43, 6, 42, 20}},
    {5, 2, 0, {28, 6, 57, 20}, {28, 21, 42, 20}},
    {6, 2, 0, {28, 6, 42, 35}, {28, 6, 27, 20}},
    {7, 2, 0, {13, 6, 42, 20}, {13, 21, 27, 20}},
    {8, 2, 0, {13, 7, 27, 35}, {28, 21, 28, 35}},
    {9, 2, 0, {13, 21, 41, 35}, {13, 36, 27, 36}},
    {10, 2, 0, {13, 22, 27, 50}, {28, 36, 28, 50}},
    {11, 2, 0, {14, 36, 42, 50}, {28, 35, 42, 50}},
    // The last second of the hour reaches a whole cell: the same pixels as
    // the full hour, in other fills.
    {11, 59, 59, {33, 36, 47, 50}, {33, 21, 47, 50}},
    {12, 0, 0, {33, 21, 47, 50}, {48, 36, 47, 50}},
    // At hour 0 the product is single precision too: 9 where double gives 8.
    {0, 34, 0, {42, 53, 56, 73}, {57, 59, 65, 73}},
    // Half-way through each hour, the marker advanced by 8 of 15 pixels: every
    // trailing cell shrinks and every leading cell grows in its own direction.
    {0, 30, 0, {33, 52, 47, 73}, {48, 59, 55, 73}},
    {1, 30, 0, {41, 59, 62, 73}, {48, 51, 62, 58}},
    {2, 30, 0, {48, 44, 62, 65}, {40, 44, 47, 58}},
    {3, 30, 0, {41, 44, 62, 58}, {48, 36, 62, 58}},
    {4, 30, 0, {48, 29, 62, 50}, {40, 29, 47, 43}},
    {5, 30, 0, {33, 29, 54, 43}, {33, 44, 47, 51}},
    {6, 30, 0, {33, 29, 47, 50}, {25, 29, 32, 43}},
    {7, 30, 0, {18, 29, 39, 43}, {18, 44, 32, 51}},
    {8, 30, 0, {18, 37, 32, 58}, {33, 44, 40, 58}},
    {9, 30, 0, {18, 44, 39, 58}, {18, 59, 32, 66}},
    {10, 30, 0, {18, 52, 32, 73}, {33, 59, 40, 73}},
    {11, 30, 0, {26, 59, 47, 73}, {33, 51, 47, 73}},
};

TEST(FaceDraw, HourAdvanceInSinglePrecision) {
    for (const HourCase &c : hour_cases) {
        SCOPED_TRACE(time_text(c.hour, c.minute, c.second));
        const std::vector<Call> &calls = draw(c.hour, c.minute, c.second, 80, 80, -1);
        ASSERT_GE(calls.size(), 9u);
        EXPECT_EQ(calls[6], pen(PEN_HOUR));
        EXPECT_EQ(calls[7], fill(c.first));
        EXPECT_EQ(calls[8], fill(c.second_fill));
    }
}

// ---------------------------------------------------------------------------
// Minute bars

struct BarCase {
    int hour, minute, second, width, height;
    std::vector<Rect> bars;
};

const BarCase bar_cases[] = {
    // On a mark: five full bars at its tick, none at the next.
    {3, 0, 0, 64, 64,
     {{28, 44, 35, 46}, {28, 48, 35, 50}, {28, 52, 35, 54}, {28, 56, 35, 58}, {28, 60, 35, 62}}},
    // Half-way: two equal stacks of two full bars and a centred half bar.
    {10, 7, 30, 64, 64,
     {{35, 44, 42, 46}, {35, 48, 42, 50}, {37, 52, 40, 54},
      {44, 35, 46, 42}, {48, 35, 50, 42}, {52, 37, 54, 40}}},
    {6, 30, 0, 64, 64,
     {{28, 17, 35, 19}, {28, 13, 35, 15}, {28, 9, 35, 11}, {28, 5, 35, 7}, {28, 1, 35, 3}}},
    // Before the full hour tick 0 is measured backwards and drawn first.
    {0, 57, 45, 64, 64,
     {{32, 44, 39, 46}, {32, 48, 39, 50}, {33, 52, 38, 54},
      {16, 44, 23, 46}, {16, 48, 23, 50}, {19, 52, 20, 54}}},
    // Left and right of the square.
    {0, 15, 0, 64, 64,
     {{44, 28, 46, 35}, {48, 28, 50, 35}, {52, 28, 54, 35}, {56, 28, 58, 35}, {60, 28, 62, 35}}},
    {0, 45, 0, 64, 64,
     {{17, 28, 19, 35}, {13, 28, 15, 35}, {9, 28, 11, 35}, {5, 28, 7, 35}, {1, 28, 3, 35}}},
    // The outermost bar is the image's top row.
    {0, 0, 0, 21, 21,
     {{9, 12, 11, 12}, {9, 14, 11, 14}, {9, 16, 11, 16}, {9, 18, 11, 18}, {9, 20, 11, 20}}},
    // Bars of 3: a level of 0.15 gives no bar at tick 1, 0.18 gives one pixel.
    {0, 0, 9, 21, 21,
     {{9, 12, 11, 12}, {9, 14, 11, 14}, {9, 16, 11, 16}, {9, 18, 11, 18}, {9, 20, 11, 20}}},
    {0, 0, 11, 21, 21,
     {{9, 12, 11, 12}, {9, 14, 11, 14}, {9, 16, 11, 16}, {9, 18, 11, 18}, {9, 20, 10, 20},
      {14, 12, 14, 12}}},
    // The last second before a mark, in single precision: tick 0 keeps a bar
    // of one pixel at 0:04:59, tick 1 keeps nothing at 0:09:59.
    {0, 4, 59, 230, 230,
     {{77, 157, 77, 166}, {122, 157, 151, 166}, {122, 172, 151, 181}, {122, 187, 151, 196},
      {122, 202, 151, 211}, {122, 217, 150, 226}}},
    {0, 9, 59, 230, 230,
     {{157, 122, 166, 151}, {172, 122, 181, 151}, {187, 122, 196, 151}, {202, 122, 211, 151},
      {217, 122, 226, 151}}},
};

TEST(FaceDraw, BarFills) {
    for (const BarCase &c : bar_cases) {
        SCOPED_TRACE(time_text(c.hour, c.minute, c.second) + " on " +
                     size_text(c.width, c.height, -1));
        std::vector<Call> expected;
        for (const Rect &r : c.bars)
            expected.push_back(fill(r));
        EXPECT_EQ(bar_fills(draw(c.hour, c.minute, c.second, c.width, c.height, -1)), expected);
    }
}

// ---------------------------------------------------------------------------
// Times out of range

struct SameTime {
    int hour, minute, second;
    int same_hour, same_minute, same_second;
};

constexpr SameTime same_times[] = {
    {12, 20, 10, 0, 20, 10},
    {24, 20, 10, 0, 20, 10},
    {-12, 20, 10, 0, 20, 10},
    {13, 20, 10, 1, 20, 10},
    {-1, 20, 10, 11, 20, 10},
    // The fields do not carry into each other.
    {7, -1, 10, 7, 59, 10},
    {7, 20, 60, 7, 20, 0},
    {7, 20, -1, 7, 20, 59},
    {0, -1, 0, 0, 59, 0},
    {25, 75, 130, 1, 15, 10},
    {-25, -75, -130, 11, 45, 50},
    {INT_MAX, INT_MAX, INT_MAX, 7, 7, 7},
    {INT_MIN, INT_MIN, INT_MIN, 4, 52, 52},
};

TEST(FaceDraw, TimeFieldsAreTakenModulo) {
    for (const SameTime &c : same_times) {
        SCOPED_TRACE(time_text(c.hour, c.minute, c.second) + " as " +
                     time_text(c.same_hour, c.same_minute, c.same_second));
        for (int size : {80, 230}) {
            const std::vector<Call> expected =
                draw(c.same_hour, c.same_minute, c.same_second, size, size - 7, -1);
            EXPECT_EQ(draw(c.hour, c.minute, c.second, size, size - 7, -1), expected)
                << "on " << size << " x " << size - 7;
        }
    }
}

// ---------------------------------------------------------------------------
// What every host relies on, over many sizes, borders and times

// Each of the four coordinates lies in the given rectangle.
bool inside(const Call &c, int x0, int y0, int x1, int y1) {
    return c.x0 >= x0 && c.x0 <= x1 && c.x1 >= x0 && c.x1 <= x1 &&
           c.y0 >= y0 && c.y0 <= y1 && c.y1 >= y0 && c.y1 <= y1;
}

bool empty(const Call &c) { return c.x1 < c.x0 || c.y1 < c.y0; }

bool overlap(const Call &a, const Call &b) {
    return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}

::testing::AssertionResult keeps_the_contract(const std::vector<Call> &calls, int width,
                                              int height) {
    // The pens in order, each followed by its number of fills.
    constexpr int pens[] = {PEN_BACKGROUND, PEN_SQUARE, PEN_INSIDE, PEN_HOUR, PEN_MINUTE};
    std::size_t i = 0;
    for (int p : pens) {
        if (i >= calls.size() || calls[i] != pen(p))
            return ::testing::AssertionFailure() << "call " << i << " is not pen " << p;
        std::size_t fills = 0;
        for (i++; i < calls.size() && calls[i].kind == FILL; i++)
            fills++;
        const bool count_ok = p == PEN_HOUR ? fills == 2
                              : p == PEN_MINUTE ? fills == 5 || fills == 6
                                                : fills == 1;
        if (!count_ok)
            return ::testing::AssertionFailure() << fills << " fills with pen " << p;
    }
    if (i != calls.size())
        return ::testing::AssertionFailure() << "calls after the minute bars";
    if (calls[1] != fill(0, 0, width - 1, height - 1))
        return ::testing::AssertionFailure() << "first fill is " << calls[1];

    // Nothing but the background covers the border.
    const FaceLayout &l = face_current_layout();
    const int b = l.border_used;
    const Call &square = calls[3];
    if (square.x1 - square.x0 + 1 != l.square_size || square.y1 - square.y0 + 1 != l.square_size)
        return ::testing::AssertionFailure() << "square fill " << square;
    for (std::size_t k = 3; k < calls.size(); k++) {
        const Call &c = calls[k];
        if (c.kind != FILL)
            continue;
        if (empty(c)) {
            if (!inside(c, square.x0, square.y0, square.x1, square.y1))
                return ::testing::AssertionFailure() << "empty " << c << " outside the square";
        } else if (!inside(c, b, b, width - 1 - b, height - 1 - b)) {
            return ::testing::AssertionFailure()
                   << c << " not inside the image less its border of " << b;
        }
    }
    const Call &cells = calls[5];
    if (!inside(cells, square.x0, square.y0, square.x1, square.y1))
        return ::testing::AssertionFailure() << "inside fill " << cells << " leaves the square";
    for (std::size_t k : {7u, 8u})
        if (!empty(calls[k]) && !inside(calls[k], cells.x0, cells.y0, cells.x1, cells.y1))
            return ::testing::AssertionFailure() << "hour " << calls[k] << " leaves the cells";
    // Bars stand in the band beside the square and never touch each other.
    for (std::size_t k = 10; k < calls.size(); k++) {
        if (overlap(calls[k], square))
            return ::testing::AssertionFailure() << "bar " << calls[k] << " on the square";
        for (std::size_t j = k + 1; j < calls.size(); j++)
            if (overlap(calls[k], calls[j]))
                return ::testing::AssertionFailure()
                       << "bars " << calls[k] << " and " << calls[j] << " overlap";
    }
    return ::testing::AssertionSuccess();
}

struct Size {
    int width, height;
};

struct Time {
    int hour, minute, second;
};

// Sweeps borders for one size over the given times; returns false once too
// many drawings have failed.
bool sweep(Size size, const std::vector<Time> &times, int &failures) {
    const int side = std::min(size.width, size.height);
    const int largest = (side - 21) / 2;
    for (int border : {-1, 0, 1, 2, largest / 2, largest - 1, largest}) {
        if (border > largest)
            continue;
        for (const Time &t : times) {
            const ::testing::AssertionResult r = keeps_the_contract(
                draw(t.hour, t.minute, t.second, size.width, size.height, border), size.width,
                size.height);
            if (!r) {
                ADD_FAILURE() << r.message() << ", at " << time_text(t.hour, t.minute, t.second)
                              << " on " << size_text(size.width, size.height, border);
                if (++failures >= 10)
                    return false;
            }
        }
    }
    return true;
}

TEST(FaceDraw, ContractOverSizesBordersAndTimes) {
    // One time in each stretch of the square's path, and the seconds on
    // either side of marks.
    const std::vector<Time> some_times = {
        {0, 0, 0}, {1, 4, 59}, {2, 7, 30}, {3, 14, 59}, {4, 17, 1}, {5, 22, 30},
        {6, 30, 0}, {7, 37, 30}, {8, 44, 59}, {9, 52, 30}, {10, 57, 45}, {11, 59, 59},
    };
    std::vector<Time> every_minute;
    for (int hour : {0, 3, 8, 11})
        for (int minute = 0; minute < 60; minute++)
            for (int second : {0, 1, 29, 30, 59})
                every_minute.push_back({hour, minute, second});

    int failures = 0;
    std::vector<Size> sizes;
    constexpr int other_sides[] = {21, 22, 23, 24, 37, 59, 60, 61, 64, 80, 100,
                                   119, 120, 121, 179, 180, 239, 240, 300};
    for (int w = 21; w <= 300; w++)
        for (int h : other_sides) {
            sizes.push_back({w, h});
            sizes.push_back({h, w});
        }
    for (const Size &s : sizes)
        if (!sweep(s, some_times, failures))
            return;

    constexpr Size large[] = {{8192, 21},    {21, 8192},   {4097, 8191},
                              {8191, 4097},  {8192, 8192}, {32767, 32767},
                              {32767, 22},   {1 << 24, 1 << 24}};
    for (const Size &s : large)
        if (!sweep(s, every_minute, failures))
            return;
    constexpr Size timed[] = {{21, 21}, {22, 22}, {64, 64}, {80, 80}, {100, 60},
                              {60, 100}, {230, 101}, {301, 299}};
    for (const Size &s : timed)
        if (!sweep(s, every_minute, failures))
            return;
}

}  // namespace
