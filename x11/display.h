// The connection to the X server, the two windows and what the window
// manager reads from the main window.
#pragma once

#include <X11/Xlib.h>

// All of the default screen.
extern Display *display;
extern int screen_number;
extern Window root_window;
// Black and white of the colormap the clock uses: the screen's own, until
// a colormap of another visual is chosen.
extern unsigned long black_pixel;
extern unsigned long white_pixel;
extern int screen_width;
extern int screen_height;

// The visual the clock draws with.  When none is found, visual and depth
// are the screen's defaults and the clock is black and white.
extern bool visual_found;
extern Visual *visual;
extern int depth;

extern Window main_window;
extern Window icon_window;  // a child of the main window, for a dock
// The current size of the drawing: set when the windows are created, then
// from ConfigureNotify, never below minimum_size().
extern int width;
extern int height;
extern Atom wm_delete_window;

// Connects to the display that -display names, or else DISPLAY; without a
// server the process ends with status 1.
void open_display();

// Visual, windows, close protocol, hints, class, title, the command line,
// host and process id for the window manager, the copy GC, the pen
// colours and the taskbar icons, then mapping.
void init_window();

void choose_visual(Display *on, int screen);
void create_windows();
void set_size_hints();
void set_wm_hints();
void set_class_hint();

// A new heap copy of text (null gives an empty text) that the caller frees.
char *copy_string(const char *text);
