// Opening and closing the output of quadrix-image.
#pragma once

// output_file becomes the stream the writer writes to: standard output,
// a device, FIFO or terminal opened in place, or, for a regular file or a
// path where nothing is yet, a new file beside it that close_output puts
// in its place.  A file that cannot be created ends the run.
void open_output();

// Flushes and closes the output, and puts a new file in the place of the
// old one; an error in writing or closing ends the run through
// fatal_error, and the old file stays as it was.
void close_output();
