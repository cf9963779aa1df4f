#pragma once
// The file format an image header was read from.

enum class ImageFormat : int {
    None = 0,    // cleared header
    Unknown = 1,
    Img = 2,
    Tiff = 3,
};

// "None", "Unknwon", "IMG", "Tiff"; "?" for a value outside the enumeration.
const char* imageFormatName(ImageFormat format);
