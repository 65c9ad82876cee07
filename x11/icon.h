// The clock as the main window's icon for taskbars and window switchers:
// _NET_WM_ICON holds the face at a few sizes in the clock's colours.
#pragma once

// Reads the pens' colours for the icons; after alloc_colours.
void init_icons();

// Draws the icons for the time and rewrites the property when one of them
// has changed since the last time.
void update_icons(int hour, int minute, int second);
