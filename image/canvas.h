// The pixel canvas: one pen per pixel, drawn into by the face and read by
// the writers.
#pragma once

#include <cstddef>

// The image width rounded up to a multiple of 8.  The padding columns from
// image_width on hold PEN_BACKGROUND, so packed formats work in whole bytes.
extern int canvas_columns;

// Makes the canvas for image_width by image_height pixels; "Out of memory"
// ends the process when it cannot be had.
void alloc_canvas();

// Row y of the canvas, counted from the bottom of the picture as the face
// counts it: canvas_columns pens, left to right.
unsigned char *canvas_row(int y);
