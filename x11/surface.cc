#include "surface.h"

#include "display.h"
#include "host.h"
#include "options.h"
#include "quadface.h"

#include <ctime>

Colormap colormap;
unsigned long fg_pixel;
unsigned long pixels[5];
GC window_gc;
Pixmap pixmap = None;
GC pixmap_gc;

namespace {

// The pixel of an exact grey level in the clock's colormap, or fallback
// when the colormap has no room for it.
unsigned long grey_pixel(unsigned short level, unsigned long fallback) {
    XColor colour;
    colour.red = colour.green = colour.blue = level;
    colour.flags = DoRed | DoGreen | DoBlue;
    if (XAllocColor(display, colormap, &colour) == 0)
        return fallback;
    return colour.pixel;
}

}  // namespace

bool choose_colormap() {
    if (visual == DefaultVisual(display, screen_number)) {
        colormap = DefaultColormap(display, screen_number);
        return true;
    }
    // The root window fixes the screen as well as the main window would;
    // the windows are created with this colormap.
    colormap = XCreateColormap(display, root_window, visual, AllocNone);
    if (colormap == None)
        return false;
    // The screen's black and white pixels belong to its own colormap; in
    // this one they may name any colour, or none.
    black_pixel = grey_pixel(0, black_pixel);
    white_pixel = grey_pixel(65535, white_pixel);
    return true;
}

void create_window_gc() {
    XGCValues values;
    values.graphics_exposures = False;
    window_gc = XCreateGC(display, main_window, GCGraphicsExposures, &values);
}

unsigned long alloc_colour(const char *name, unsigned long fallback) {
    if (name == nullptr)
        return fallback;
    XColor screen_colour;
    XColor exact_colour;
    if (XAllocNamedColor(display, colormap, name, &screen_colour, &exact_colour) == 0)
        return fallback;
    return screen_colour.pixel;
}

void alloc_colours() {
    if (!visual_found) {
        // Black and white, whatever the colour options say.
        fg_pixel = black_pixel;
        pixels[PEN_BACKGROUND] = white_pixel;
        pixels[PEN_INSIDE] = white_pixel;
        pixels[PEN_SQUARE] = black_pixel;
        pixels[PEN_HOUR] = black_pixel;
        pixels[PEN_MINUTE] = black_pixel;
        return;
    }
    fg_pixel = alloc_colour(fg_name, black_pixel);
    pixels[PEN_BACKGROUND] = alloc_colour(bg_name, white_pixel);
    pixels[PEN_HOUR] = alloc_colour(hc_name, fg_pixel);
    pixels[PEN_MINUTE] = alloc_colour(mc_name, fg_pixel);
    pixels[PEN_SQUARE] = alloc_colour(sc_name, fg_pixel);
    pixels[PEN_INSIDE] = alloc_colour(ic_name, pixels[PEN_BACKGROUND]);
}

void create_pixmap() {
    if (pixmap != None) {
        XFreePixmap(display, pixmap);
        XFreeGC(display, pixmap_gc);
    }
    pixmap = XCreatePixmap(display, main_window, width, height, depth);
    if (pixmap == None)
        fatal_error("Creating bitmap");
    pixmap_gc = XCreateGC(display, pixmap, 0, nullptr);
}

void face_set_pen(int pen) { XSetForeground(display, pixmap_gc, pixels[pen]); }

void face_fill(int x0, int y0, int x1, int y1) {
    if (x1 < x0 || y1 < y0)
        return;
    // The face counts rows from the bottom, X from the top.
    XFillRectangle(display, pixmap, pixmap_gc, x0, height - 1 - y1,
                   static_cast<unsigned>(x1 - x0 + 1), static_cast<unsigned>(y1 - y0 + 1));
}

void draw_face() {
    const std::time_t now = std::time(nullptr);
    const std::tm *local = std::localtime(&now);
    if (local == nullptr)
        fatal_error("Cannot read the local time");
    face_draw(local->tm_hour, local->tm_min, local->tm_sec, width, height, border);
}

void draw_clock() {
    draw_face();
    XCopyArea(display, pixmap, icon_window, window_gc, 0, 0, width, height, 0, 0);
    XCopyArea(display, pixmap, main_window, window_gc, 0, 0, width, height, 0, 0);
}

void free_surface() {
    if (pixmap != None) {
        XFreePixmap(display, pixmap);
        XFreeGC(display, pixmap_gc);
        pixmap = None;
    }
    XFreeGC(display, window_gc);
}
