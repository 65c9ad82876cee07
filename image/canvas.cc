#include "canvas.h"

#include "host.h"
#include "options.h"
#include "quadface.h"

#include <cstdlib>
#include <cstring>

int canvas_columns;

namespace {

// Rows of canvas_columns bytes, the bottom row first, so that a fill is a
// run of byte stores per row and every writer reads a row as one block.
unsigned char *canvas;
int current_pen;

}  // namespace

void alloc_canvas() {
    canvas_columns = (image_width + 7) / 8 * 8;
    std::free(canvas);
    canvas = static_cast<unsigned char *>(
        xmalloc(static_cast<std::size_t>(canvas_columns) * image_height));
    const int padding = canvas_columns - image_width;
    if (padding > 0)
        for (int y = 0; y < image_height; y++)
            std::memset(canvas_row(y) + image_width, PEN_BACKGROUND, padding);
}

unsigned char *canvas_row(int y) {
    return canvas + static_cast<std::size_t>(y) * canvas_columns;
}

extern "C" void face_set_pen(int pen) { current_pen = pen; }

extern "C" void face_fill(int x0, int y0, int x1, int y1) {
    if (x1 < x0 || y1 < y0)
        return;
    const std::size_t run = static_cast<std::size_t>(x1 - x0) + 1;
    for (int y = y0; y <= y1; y++)
        std::memset(canvas_row(y) + x0, current_pen & 0xff, run);
}
