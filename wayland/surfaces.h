// The clock's surfaces: a window (an xdg-shell toplevel), or a background
// (a layer surface on the background layer) on each output, and their
// pictures.
#pragma once

#include "buffers.h"
#include "face_fills.h"

#include <wayland-client.h>

#include <cstdint>
#include <vector>

struct Output;
struct xdg_surface;
struct xdg_toplevel;
struct zwlr_layer_surface_v1;

struct Surface {
    wl_surface *surface;
    xdg_surface *xdg;                 // the window's
    xdg_toplevel *toplevel;           // the window's
    zwlr_layer_surface_v1 *layer;     // a background's
    Output *output;                   // the output a background covers
    // The size in the compositor's coordinates, as the last configure gave
    // it (0 before the first), and the window's size from a configure
    // that its xdg_surface has not yet confirmed.
    int width, height;
    int pending_width, pending_height;
    bool configured;
    bool unanswered;   // a configure acknowledged but not yet committed
    bool waiting;      // a picture waits for a buffer that the compositor holds
    int scale;         // pixels of a buffer to a unit of the surface
    int committed_scale;
    std::vector<Output *> entered;  // the outputs a window shows on
    Buffers buffers;
    // What the compositor shows: empty before the first picture at the
    // current size and scale.
    FaceFills committed;
};

// The pens' colours, as 0xRRGGBB; set before the first surface is made.
extern std::uint32_t pen_colours[5];

// The compositor asked the window to close.
extern bool window_closed;

// The window, titled and named; it asks for its size when the compositor
// first configures it.
void create_window();

// An output's state is complete (its first done event) or has changed: a
// background is made for it when it is one of those wanted, and a new
// scale gives a new picture.
void output_changed(Output &output);

// An output is gone: its background goes with it.
void output_removed(Output &output);

// Draws every surface that needs it: at a tick each one whose picture has
// changed, and between ticks those that have a configure to answer, a new
// size or scale, or a picture waiting for a buffer.  Only the changed
// pixels are painted and reported as damage; nothing is committed for a
// picture that has not changed.
void draw_surfaces(bool tick);

// Every surface goes, with its buffers.
void destroy_surfaces();
