// A libjpeg data source over an open file that hands libjpeg its input a
// piece at a time. When the allowance is used up it suspends (libjpeg keeps
// the position it can start again from in the manager): libjpeg then
// returns to its caller (jpeg_start_decompress with FALSE) and carries on
// from where it stopped once it is called again with more input allowed.
// Otherwise it reads as libjpeg's standard stdio source does: 4096 bytes at a
// time, an empty file is an error, and the end of a file cut short is a
// warning and an inserted end-of-image marker. Needs no Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

struct JpegScanSource {
  jpeg_source_mgr manager;  // what libjpeg sees; must stay first
  FILE* file;
  unsigned char* buffer;    // owned (malloc); holds what libjpeg has not consumed
  size_t capacity;
  int64_t allowance;        // bytes that may still be read; negative: no limit
  bool start_of_file;
  bool suspended;           // libjpeg stopped for want of input
};

// Makes source cinfo's data source, reading file with no limit at first.
void AttachJpegScanSource(j_decompress_ptr cinfo, JpegScanSource* source, FILE* file);
// Allows bytes more of input before the source suspends (negative: no
// limit). After a suspension, the first piece is read at once, after what
// libjpeg has not consumed yet. Call it where a libjpeg error can jump back.
void AllowJpegInput(j_decompress_ptr cinfo, JpegScanSource* source, int64_t bytes);
// Frees the buffer; the file stays open.
void ReleaseJpegScanSource(JpegScanSource* source);
