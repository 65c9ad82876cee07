// The connection to the compositor: its globals, the outputs it announces
// and the end of the connection.
#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <vector>

struct xdg_wm_base;
struct zwlr_layer_shell_v1;
struct Surface;

extern wl_display *display;
extern wl_compositor *compositor;
extern wl_shm *shm;
extern xdg_wm_base *wm_base;           // null until bound, and with -background
extern zwlr_layer_shell_v1 *layer_shell;  // null until bound, and without -background

// An output, once bound.  Its name, scale and other state count from its
// first done event on: before it, done is false.
struct Output {
    wl_output *output;
    std::uint32_t global;  // its name in the registry
    char *name;            // from the name event, or null
    int scale;
    int pending_scale;     // as the events since the last done tell it
    bool done;
    Surface *background;   // the background surface on it, or null
};

extern std::vector<Output *> outputs;

// Connects to the display that -display names, or else the one in
// WAYLAND_DISPLAY, binds the globals the mode needs and reads the state of
// the outputs.  Without a compositor, or with one that lacks a global the
// mode needs, the process ends with status 1 and a message naming what is
// missing.
void connect_to_compositor();

// The output that wl_output belongs to, or null.
Output *output_of(wl_output *output);

// Ends the process with status 1 and a message on a connection that
// failed: the compositor went away, or reported a protocol error.
[[noreturn]] void connection_lost();

// Lets go of the outputs and the globals, and disconnects.  The surfaces
// must be gone.
void disconnect_from_compositor();
