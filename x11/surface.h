// The colours of the five pens, the off-screen pixmap that the face is
// drawn into, and the copies of the finished picture into the windows.
// Each update sends only the pixels that changed since the last one.
#pragma once

#include "face_fills.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

extern Colormap colormap;
extern unsigned long fg_pixel;
extern unsigned long pixels[5];  // by pen
extern GC window_gc;
extern Pixmap pixmap;  // None before the first pass
extern GC pixmap_gc;

// Finds the colormap for the chosen visual: the default one for the
// default visual, else a new one.  Returns false when none can be made.
bool choose_colormap();

void create_window_gc();
void alloc_colours();
unsigned long alloc_colour(const char *name, unsigned long fallback);

// (Re)creates the pixmap and its GC for the current width and height; the
// next update draws and copies the whole picture.
void create_pixmap();

// The pens' pixel values, as the change finder compares them: pens of one
// colour look alike.
const std::uint32_t *pen_keys();

// Paints the fills of the faces, in order and each cut to the boxes, into
// the pixmap with pixmap_gc: one fill request for each run of fills of one
// pen.
void paint_boxes(const FaceFills *const faces[], int count, const std::vector<Box> &boxes);

// Copies the boxes of the pixmap into to, and then into also unless it is
// None, with gc.
void copy_boxes(GC gc, Drawable to, const std::vector<Box> &boxes, Drawable also = None);

// Draws the current local time into the pixmap and copies what changed
// since the last update into the icon window, then the main window:
// nothing when nothing changed, everything after create_pixmap.  The
// taskbar icons follow.  Does not flush.
void draw_clock();

// Copies the whole picture into both windows again, as after an Expose.
void show_whole_picture();

// Releases the pixmap and both GCs before the display is closed.
void free_surface();
