#pragma once
// A colour channel of an image: the byte offset of the component within a
// 24- or 32-bit pixel.

enum class ImageChannel : int {
    Red = 0,
    Green = 1,
    Blue = 2,
    Alpha = 3,
};
