// Reading and writing the host's documents as PNG or TIFF files through
// the Windows Imaging Component: 8 or 16 bits per channel, gray, gray
// with transparency, RGB or RGB with a fourth plane. 16-bit file samples
// map to the host range 0..32768.
#pragma once

#include <string>

#include "host/image.h"

bool ReadImageFile(const std::string &path, HostImage *image,
                   std::string *error);

// The format follows the extension (.png, .tif, .tiff). One plane is
// written as gray, two as gray and alpha, three as RGB, more as RGB and
// the fourth plane as alpha.
bool WriteImageFile(const std::string &path, const HostImage &image,
                    std::string *error);
