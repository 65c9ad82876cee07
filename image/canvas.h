// The pixel canvas: one pen per pixel, drawn into by the face and read by
// the writers.
#pragma once

#include <cstddef>

// The image width rounded up to a multiple of 8.  The padding columns from
// image_width on hold PEN_BACKGROUND, so packed formats work in whole bytes.
extern int canvas_columns;

// Makes the canvas for image_width by image_height pixels, every pen 0;
// "Out of memory" ends the process when it cannot be had.
void alloc_canvas();

// Row y of the canvas, counted from the bottom of the picture as the face
// counts it: canvas_columns pens, left to right, for reading.  Rows with
// equal pens may share one block: the pointer stays valid until the next
// fill or the next alloc_canvas.
const unsigned char *canvas_row_pens(int y);

// How many rows from y on, stepping by step (1 upward, -1 downward) and
// staying inside the image, share row y's block and so hold its pens.
int canvas_run(int y, int step);

// Row y for reading and writing: the row gets a block of its own, which
// stays valid and its own until the next alloc_canvas.
unsigned char *canvas_row(int y);

// A fill as the face asked for it: the pen as the canvas stores it and the
// two corners, in face coordinates, both inside the rectangle.
struct FillRecord {
    int pen;
    int x0, y0, x1, y1;
};

// The fills that made the picture, for the writers that draw rectangles
// instead of pixels: every fill that painted something since the last one
// that covered the whole image (that one first), in the order they came.
// count receives their number; the list stays valid until the next fill or
// the next alloc_canvas.  Writes through canvas_row are not in it.
const FillRecord *canvas_fills(int &count);
