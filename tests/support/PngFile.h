#pragma once

#include <string>
#include <string_view>

// Writes a picture as a PNG file, for the screenshots of the documentation: cx by cy pixels given row by row as red,
// green and blue bytes. The picture of a window is mostly areas of one colour and repeated letters, so each row is
// filtered against its left or upper neighbour and deflated with the fixed codes and a short search for earlier
// copies; nothing more elaborate is needed. False when the sizes do not match the bytes or the file cannot be
// written.
bool WritePngFile(const std::string& strPath, int cx, int cy, std::string_view rgb);

// The same for an image with cx, cy and its pixels (r, g, b) row by row, as CDialogDriver::Snapshot gives it.
template <typename Image>
bool WritePngFile(const std::string& strPath, const Image& image) {
    std::string rgb;
    rgb.reserve(image.pixels.size() * 3);
    for (const auto& pixel : image.pixels) {
        rgb += static_cast<char>(pixel.r);
        rgb += static_cast<char>(pixel.g);
        rgb += static_cast<char>(pixel.b);
    }
    return WritePngFile(strPath, image.cx, image.cy, rgb);
}
