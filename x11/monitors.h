// The monitors of the screen, for -root: each gets a face of its own.
#pragma once

#include "face_fills.h"

#include <X11/Xlib.h>

#include <vector>

// Asks the server for the notices of new monitors, outputs and modes
// (RandR), where it has them; the root's ConfigureNotify is selected by
// the caller.
void watch_monitors();

// True for an event that tells of new monitors; the caller reads them
// again.
bool monitors_event(XEvent &event);

// The monitors' places on the root window: RandR 1.5's active monitors,
// else Xinerama's screens, else the whole root window of the size given.
// Monitors that show the same place (mirrored outputs) are one; the list
// keeps the server's order otherwise.
void read_monitors(int root_width, int root_height, std::vector<Box> &monitors);
