// The image writers: each turns the finished canvas into one image file on
// output_file, streaming it row by row.
#pragma once

#include <cstdio>

// The stream the writers write to: the opened file, or standard output.
extern std::FILE *output_file;

// The errno of the first write to output_file that failed, or 0.
extern int output_error;

// The time the picture shows, for the writers that name it.
extern int shown_hour;
extern int shown_minute;
extern int shown_second;

void write_xbm();
void write_xpm();
void write_pbm();
void write_ppm();
// form 0: OS/2 core header; form 1: Windows information header.
void write_bmp(int form);
void write_png();
void write_svg();

// Runs the writer that output_format names.
void write_image();
