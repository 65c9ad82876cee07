// Opening and closing the output of quadrix-image.
#pragma once

// output_file becomes the named file, created or truncated, or standard
// output; a file that cannot be created ends the run.
void open_output();

// Flushes and closes the output; an error in writing or closing ends the
// run through fatal_error.
void close_output();
