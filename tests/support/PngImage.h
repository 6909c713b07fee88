#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A picture as a PNG file's bytes (8-bit RGB, one compressed stream), for the documentation's screenshots that the
// dialog tests take from CDialogDriver::Snapshot. Flat areas and repeated rows, which make up most of a dialog,
// compress to little; the rest is kept as it is.
//
// rgb holds nWidth * nHeight pixels row by row, three bytes each (red, green, blue). Empty when the sizes do not fit.
std::string EncodePng(int nWidth, int nHeight, const std::vector<std::uint8_t>& rgb);
