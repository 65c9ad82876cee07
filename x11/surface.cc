#include "surface.h"

#include "display.h"
#include "host.h"
#include "icon.h"
#include "options.h"
#include "quadface.h"
#include "ticks.h"


Colormap colormap;
unsigned long fg_pixel;
unsigned long pixels[5];
GC window_gc;
Pixmap pixmap = None;
GC pixmap_gc;

namespace {

// What the pixmap holds; an empty list after create_pixmap, so that the
// next update draws everything.
FaceFills shown;
std::uint32_t keys[5];
std::vector<Box> changed;
std::vector<XRectangle> batch;

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

void send_batch(int pen) {
    if (batch.empty())
        return;
    XSetForeground(display, pixmap_gc, pixels[pen]);
    XFillRectangles(display, pixmap, pixmap_gc, batch.data(), static_cast<int>(batch.size()));
    batch.clear();
}

}  // namespace

void copy_boxes(GC gc, Drawable to, const std::vector<Box> &boxes, Drawable also) {
    // A copy for each box: one copy of their bounds, cut to them by a clip,
    // would take fewer requests, but the server reports the whole of the
    // bounds as painted, and a compositor then repaints all of it.
    for (Drawable target : {to, also})
        if (target != None)
            for (const Box &box : boxes)
                XCopyArea(display, pixmap, target, gc, box.x, box.y,
                          static_cast<unsigned>(box.width), static_cast<unsigned>(box.height),
                          box.x, box.y);
}

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
    } else {
        fg_pixel = alloc_colour(fg_name, black_pixel);
        pixels[PEN_BACKGROUND] = alloc_colour(bg_name, white_pixel);
        pixels[PEN_HOUR] = alloc_colour(hc_name, fg_pixel);
        pixels[PEN_MINUTE] = alloc_colour(mc_name, fg_pixel);
        pixels[PEN_SQUARE] = alloc_colour(sc_name, fg_pixel);
        pixels[PEN_INSIDE] = alloc_colour(ic_name, pixels[PEN_BACKGROUND]);
    }
    for (int pen = 0; pen < 5; pen++)
        keys[pen] = static_cast<std::uint32_t>(pixels[pen]);
}

const std::uint32_t *pen_keys() { return keys; }

void create_pixmap() {
    if (pixmap != None) {
        XFreePixmap(display, pixmap);
        XFreeGC(display, pixmap_gc);
    }
    pixmap = XCreatePixmap(display, main_window, width, height, depth);
    if (pixmap == None)
        fatal_error("Creating bitmap");
    pixmap_gc = XCreateGC(display, pixmap, 0, nullptr);
    shown.count = 0;
}

// The library's two primitives: the calls go to the list being recorded.
void face_set_pen(int pen) { note_pen(pen); }
void face_fill(int x0, int y0, int x1, int y1) { note_fill(x0, y0, x1, y1); }

void paint_boxes(const FaceFills *const faces[], int count, const std::vector<Box> &boxes) {
    int pen = -1;
    for (int f = 0; f < count; f++) {
        const FaceFills &face = *faces[f];
        for (int i = 0; i < face.count; i++) {
            const FaceFill &fill = face.fills[i];
            if (fill.pen != pen) {
                if (pen >= 0)
                    send_batch(pen);
                pen = fill.pen;
            }
            for (const Box &box : boxes) {
                Box part = fill.box;
                if (!clip_box(part, box))
                    continue;
                batch.push_back(XRectangle{static_cast<short>(part.x), static_cast<short>(part.y),
                                           static_cast<unsigned short>(part.width),
                                           static_cast<unsigned short>(part.height)});
            }
        }
    }
    if (pen >= 0)
        send_batch(pen);
}

void draw_clock() {
    int hour;
    int minute;
    int second;
    read_local_time(hour, minute, second);
    FaceFills face;
    record_face(face, hour, minute, second, width, height, border, 0, 0);
    changed_boxes(shown, face, changed, keys);
    const FaceFills *faces[] = {&face};
    paint_boxes(faces, 1, changed);
    copy_boxes(window_gc, icon_window, changed, main_window);
    shown = face;
    update_icons(hour, minute, second);
}

void show_whole_picture() {
    if (shown.count == 0)
        return;
    copy_boxes(window_gc, icon_window, {Box{0, 0, width, height}}, main_window);
}

void free_surface() {
    if (pixmap != None) {
        XFreePixmap(display, pixmap);
        XFreeGC(display, pixmap_gc);
        pixmap = None;
    }
    XFreeGC(display, window_gc);
}
