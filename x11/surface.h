// The colours of the five pens, the off-screen pixmap that the face is
// drawn into, and the copies of the finished picture into the windows.
#pragma once

#include <X11/Xlib.h>

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

// (Re)creates the pixmap and its GC for the current width and height.
void create_pixmap();

// Draws the current local time into the pixmap.
void draw_face();

// Draws the current local time into the pixmap and copies it into the icon
// window, then the main window.  Does not flush.
void draw_clock();

// Releases the pixmap and both GCs before the display is closed.
void free_surface();
