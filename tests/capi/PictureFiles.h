#pragma once
// Small pictures made on the spot: every pixel the colour of its position,
// so a decoded bitmap can be checked pixel by pixel.

#include <cstdint>
#include <vector>

// 0xFFRRGGBB of pixel (x, y) in the pictures below.
uint32_t PicturePixel(int x, int y);
std::vector<uint8_t> EncodeJpeg(int width, int height);
std::vector<uint8_t> EncodePng(int width, int height);
