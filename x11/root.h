// quadrix-x -root: the clock as the background of the root window.
#pragma once

// Connects to the display, keeps the root window's background at the
// current time until SIGTERM or SIGINT, and returns the exit status, 0.
// The last picture stays as the background after the end.
int run_root();
