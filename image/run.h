// The whole run of quadrix-image, from the memory reserve to the closed
// output.  It returns only when the image has been written; every failure
// ends through end_process.
#pragma once

void run_image(int argc, char **argv);
