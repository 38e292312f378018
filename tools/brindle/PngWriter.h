#pragma once
#include <string>

struct TrenderImage;

// Writes an RGB image as an 8-bit PNG file; false with a message naming the file when it cannot
// be written, in which case the file may hold part of the image.
bool writePng(const std::string& path, const TrenderImage& image, std::string& error);
