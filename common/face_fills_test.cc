// The fills of a face and what changed between two faces, checked pixel by
// pixel against pictures painted from the same fills.  This binary is the
// host: its primitives hand the library's calls to the recorder.

#include "face_fills.h"
#include "quadface.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <random>
#include <vector>

extern "C" void face_set_pen(int pen) { note_pen(pen); }
extern "C" void face_fill(int x0, int y0, int x1, int y1) { note_fill(x0, y0, x1, y1); }

namespace {

constexpr std::uint32_t PEN_NUMBERS[5] = {0, 1, 2, 3, 4};

// The face of a time given as seconds since midnight; the library itself
// does not carry a second of 60 into the minute.
void record_at(FaceFills &into, int seconds, int width, int height, int border) {
    seconds %= 43200;
    record_face(into, seconds / 3600, seconds / 60 % 60, seconds % 60, width, height, border, 0,
                0);
}

// A target of width by height pixels, all 99 before the faces are painted.
struct Target {
    int width, height;
    std::vector<std::uint32_t> pixels;
};

Target painted(const FaceFills &face, int width, int height, const std::uint32_t *colours) {
    Target t{width, height, std::vector<std::uint32_t>(std::size_t(width) * height, 99)};
    paint_fills(face, colours, t.pixels.data(), width, Box{0, 0, width, height});
    return t;
}

// Every pixel that differs lies in exactly one box, and every pixel of a
// box differs.
void expect_exact(const Target &a, const Target &b, const std::vector<Box> &boxes,
                  const char *what) {
    std::vector<int> covered(a.pixels.size(), 0);
    for (const Box &box : boxes) {
        ASSERT_GT(box.width, 0) << what;
        ASSERT_GT(box.height, 0) << what;
        ASSERT_GE(box.x, 0) << what;
        ASSERT_GE(box.y, 0) << what;
        ASSERT_LE(box.x + box.width, a.width) << what;
        ASSERT_LE(box.y + box.height, a.height) << what;
        for (int y = box.y; y < box.y + box.height; y++)
            for (int x = box.x; x < box.x + box.width; x++)
                covered[std::size_t(y) * a.width + x]++;
    }
    for (std::size_t i = 0; i < a.pixels.size(); i++) {
        const bool differs = a.pixels[i] != b.pixels[i];
        ASSERT_EQ(covered[i], differs ? 1 : 0)
            << what << ": pixel " << i % a.width << ", " << i / a.width;
    }
}

TEST(FaceFills, RecordsRowsFromTheTopAtTheFacesPlace) {
    // 64 x 64 at 3:00:00 fills (12, 3, 51, 42) with the square's pen, rows
    // counted from the bottom; at 5, 7 in a larger target.
    FaceFills face{};
    record_face(face, 3, 0, 0, 64, 64, -1, 5, 7);
    ASSERT_EQ(face.count, 10);
    EXPECT_EQ(face.fills[0].pen, PEN_BACKGROUND);
    EXPECT_EQ(face.fills[0].box.x, 5);
    EXPECT_EQ(face.fills[0].box.y, 7);
    EXPECT_EQ(face.fills[0].box.width, 64);
    EXPECT_EQ(face.fills[0].box.height, 64);
    EXPECT_EQ(face.fills[1].pen, PEN_SQUARE);
    EXPECT_EQ(face.fills[1].box.x, 5 + 12);
    EXPECT_EQ(face.fills[1].box.y, 7 + 64 - 1 - 42);
    EXPECT_EQ(face.fills[1].box.width, 40);
    EXPECT_EQ(face.fills[1].box.height, 40);
    // The empty second hour fill of 12:00:00 is not kept.
    record_face(face, 12, 0, 0, 64, 64, -1, 0, 0);
    EXPECT_EQ(face.count, 9);
}

TEST(FaceFills, NothingChangedGivesNoBox) {
    FaceFills a{};
    FaceFills b{};
    record_face(a, 10, 7, 30, 80, 80, -1, 0, 0);
    record_face(b, 10, 7, 30, 80, 80, -1, 0, 0);
    std::vector<Box> boxes{Box{1, 1, 1, 1}};
    changed_boxes(a, b, boxes);
    EXPECT_TRUE(same_face(a, b));
    EXPECT_TRUE(boxes.empty());
}

TEST(FaceFills, AWholeNewPictureWhereThereWasNone) {
    FaceFills none{};
    FaceFills a{};
    FaceFills moved{};
    FaceFills larger{};
    record_face(a, 10, 7, 30, 80, 80, -1, 0, 0);
    record_face(moved, 10, 7, 30, 80, 80, -1, 1, 0);
    record_face(larger, 10, 7, 30, 81, 80, -1, 0, 0);
    std::vector<Box> boxes;
    for (const FaceFills *before : {&none, &moved, &larger}) {
        changed_boxes(*before, a, boxes);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].x, 0);
        EXPECT_EQ(boxes[0].y, 0);
        EXPECT_EQ(boxes[0].width, 80);
        EXPECT_EQ(boxes[0].height, 80);
    }
    changed_boxes(a, none, boxes);
    EXPECT_TRUE(boxes.empty());
}

TEST(FaceFills, ChangedBoxesAreExactOverManyPairsOfTimes) {
    // Pairs one second apart (what a running clock sees), one minute apart
    // and far apart, at small and large sizes, with and without colours
    // that make pens look alike (the inside follows the background).
    std::mt19937 random(17);
    constexpr std::uint32_t inside_like_background[5] = {7, 7, 1, 1, 2};
    std::vector<Box> boxes;
    for (int round = 0; round < 1500; round++) {
        const int width = 21 + int(random() % (round % 10 == 0 ? 700 : 140));
        const int height = 21 + int(random() % (round % 10 == 0 ? 700 : 140));
        const int border = round % 3 == 0 ? int(random() % 4) : -1;
        if (border > 0 && (width - 2 * border < 21 || height - 2 * border < 21))
            continue;
        const int t = int(random() % 43200);
        const int step = round % 3 == 0 ? 1 : round % 3 == 1 ? 60 : int(random() % 43200);
        FaceFills a{};
        FaceFills b{};
        record_at(a, t, width, height, border);
        record_at(b, t + step, width, height, border);
        const std::uint32_t *colours = round % 2 == 0 ? PEN_NUMBERS : inside_like_background;
        changed_boxes(a, b, boxes, round % 2 == 0 ? nullptr : colours);
        const Target before = painted(a, width, height, colours);
        const Target after = painted(b, width, height, colours);
        const std::string what = std::to_string(width) + "x" + std::to_string(height) + " at " +
                                 std::to_string(t) + " s +" + std::to_string(step);
        expect_exact(before, after, boxes, what.c_str());
        if (HasFatalFailure())
            return;
    }
}

TEST(FaceFills, ARunningClockChangesLittle) {
    // From one second to the next at 1920 x 1080, over a whole hour in
    // which the square slides for forty minutes: the changed pixels are a
    // small part of the screen.
    FaceFills a{};
    FaceFills b{};
    long long most = 0;
    long long all = 0;
    std::vector<Box> boxes;
    for (int t = 3 * 3600; t < 4 * 3600; t++) {
        record_at(a, t, 1920, 1080, -1);
        record_at(b, t + 1, 1920, 1080, -1);
        changed_boxes(a, b, boxes);
        most = std::max(most, box_area(boxes));
        all += box_area(boxes);
    }
    EXPECT_GT(most, 0);
    EXPECT_LT(most, 1920 * 1080 / 200);
    EXPECT_LT(all / 3600, 1920 * 1080 / 2000);
    std::printf("1920x1080, one second to the next: at most %lld pixels, %lld on average\n",
                most, all / 3600);
}

TEST(FaceFills, PaintingKeepsToTheClip) {
    FaceFills face{};
    record_face(face, 10, 7, 30, 40, 30, -1, 10, 5);
    Target full{70, 50, std::vector<std::uint32_t>(70 * 50, 99)};
    paint_fills(face, PEN_NUMBERS, full.pixels.data(), 70, Box{0, 0, 70, 50});
    Target part{70, 50, std::vector<std::uint32_t>(70 * 50, 99)};
    const Box clip{20, 10, 13, 7};
    paint_fills(face, PEN_NUMBERS, part.pixels.data(), 70, clip);
    for (int y = 0; y < 50; y++)
        for (int x = 0; x < 70; x++) {
            const bool inside = x >= 20 && x < 33 && y >= 10 && y < 17;
            const std::uint32_t got = part.pixels[std::size_t(y) * 70 + x];
            EXPECT_EQ(got, inside ? full.pixels[std::size_t(y) * 70 + x] : 99u)
                << x << ", " << y;
        }
    // The face's own area only: 10..49 by 5..34.
    EXPECT_EQ(full.pixels[4 * 70 + 10], 99u);
    EXPECT_EQ(full.pixels[5 * 70 + 9], 99u);
    EXPECT_EQ(full.pixels[5 * 70 + 10], 0u);
    EXPECT_EQ(full.pixels[34 * 70 + 49], 0u);
    EXPECT_EQ(full.pixels[35 * 70 + 49], 99u);
}

TEST(FaceFills, ClipBox) {
    struct Case {
        Box box, clip;
        bool kept;
        Box result;
    };
    const Case cases[] = {
        {{0, 0, 10, 10}, {5, 5, 10, 10}, true, {5, 5, 5, 5}},
        {{0, 0, 10, 10}, {10, 0, 5, 5}, false, {}},
        {{3, 4, 2, 2}, {0, 0, 100, 100}, true, {3, 4, 2, 2}},
        {{0, 0, 0x7fffffff, 0x7fffffff}, {0x7ffffff0, 5, 100, 3}, true, {0x7ffffff0, 5, 15, 3}},
        {{-5, -5, 3, 3}, {0, 0, 10, 10}, false, {}},
    };
    for (const Case &c : cases) {
        Box box = c.box;
        EXPECT_EQ(clip_box(box, c.clip), c.kept);
        if (c.kept) {
            EXPECT_EQ(box.x, c.result.x);
            EXPECT_EQ(box.y, c.result.y);
            EXPECT_EQ(box.width, c.result.width);
            EXPECT_EQ(box.height, c.result.height);
        }
    }
}

}  // namespace
