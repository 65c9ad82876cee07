// The canvas shares the blocks of equal rows; here long random sequences of
// fills, and of writes through canvas_row, are checked against a plain
// array of one byte a pixel.
#include "canvas.h"
#include "options.h"
#include "quadface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

struct Model {
    int width = 0;
    int height = 0;
    int columns = 0;
    std::vector<unsigned char> pens;  // the bottom row first, padding included

    unsigned char &at(int x, int y) {
        return pens[static_cast<std::size_t>(y) * static_cast<std::size_t>(columns) +
                    static_cast<std::size_t>(x)];
    }
};

Model make_canvas(int width, int height) {
    start_options(0, nullptr);
    image_width = width;
    image_height = height;
    alloc_canvas();
    Model model;
    model.width = width;
    model.height = height;
    model.columns = canvas_columns;
    model.pens.assign(static_cast<std::size_t>(canvas_columns) * height, PEN_BACKGROUND);
    return model;
}

void fill(Model &model, int pen, int x0, int y0, int x1, int y1) {
    face_set_pen(pen);
    face_fill(x0, y0, x1, y1);
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++)
            model.at(x, y) = static_cast<unsigned char>(pen);
}

// The first row that differs from the model, or -1; rows that share a
// block must also report each other as one run.
int first_difference(Model &model) {
    for (int y = 0; y < model.height; y++) {
        if (std::memcmp(canvas_row_pens(y), &model.at(0, y),
                        static_cast<std::size_t>(model.columns)) != 0)
            return y;
        const int run = canvas_run(y, 1);
        for (int k = 1; k < run; k++)
            if (canvas_row_pens(y + k) != canvas_row_pens(y))
                return y + k;
    }
    return -1;
}

struct Sequence {
    const char *name;
    int width;
    int height;
    int steps;
    int row_writes_per_100;  // how often a step writes through canvas_row
    int whole_width_per_100;  // how often a fill spans the whole width
    int thin_per_100;         // how often a fill is one row high
};

class CanvasModel : public testing::TestWithParam<Sequence> {};

TEST_P(CanvasModel, RandomFillsAndRowWritesMatchAPlainArray) {
    const Sequence s = GetParam();
    std::mt19937 random(20240601u + static_cast<unsigned>(s.width * 31 + s.height));
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };

    for (int round = 0; round < 2; round++) {
        Model model = make_canvas(s.width, s.height);
        ASSERT_EQ(first_difference(model), -1) << "fresh canvas";
        for (int step = 0; step < s.steps; step++) {
            const int kind = below(100);
            if (kind < s.row_writes_per_100) {
                // A row written directly, padding columns included.
                const int y = below(s.height);
                const int x = below(model.columns);
                const unsigned char pen = static_cast<unsigned char>(below(5));
                canvas_row(y)[x] = pen;
                model.at(x, y) = pen;
            } else {
                int x0 = below(s.width);
                int x1 = below(s.width);
                int y0 = below(s.height);
                int y1 = below(s.height);
                if (x0 > x1)
                    std::swap(x0, x1);
                if (y0 > y1)
                    std::swap(y0, y1);
                if (below(100) < s.whole_width_per_100) {
                    x0 = 0;
                    x1 = s.width - 1;
                }
                if (below(100) < s.thin_per_100)
                    y1 = y0;
                fill(model, below(5), x0, y0, x1, y1);
            }
            if (step % 16 == 15 || step == s.steps - 1) {
                ASSERT_EQ(first_difference(model), -1) << "round " << round << " step " << step;
            }
        }
        // A face drawn over it all gathers rows by their pens; the padding
        // of each row, written or not, stays as it was.
        face_draw(4, 44, 44, s.width, s.height, -1);
        for (int y = 0; y < s.height; y++)
            for (int x = s.width; x < model.columns; x++)
                ASSERT_EQ(canvas_row_pens(y)[x], model.at(x, y)) << "padding x " << x << " y " << y;
    }
}

// Thin fills and row writes make many distinct blocks, more than a fill
// remembers; whole-width fills then gather rows again, except those whose
// padding was written.
INSTANTIATE_TEST_SUITE_P(
    Sequences, CanvasModel,
    testing::Values(Sequence{"small_and_busy", 21, 30, 800, 20, 20, 40},
                    Sequence{"padding_and_many_blocks", 75, 120, 1200, 10, 30, 60},
                    Sequence{"no_row_writes", 601, 257, 600, 0, 25, 50},
                    Sequence{"wide", 8191, 96, 300, 5, 30, 50}),
    [](const testing::TestParamInfo<Sequence> &param) { return param.param.name; });

}  // namespace
