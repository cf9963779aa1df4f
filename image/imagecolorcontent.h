#pragma once
// What colours an image holds, as judged by Image::colorContent().

enum class ImageColorContent : int {
    Grayscale = 0,
    RedOnly = 1,
    GreenOnly = 2,
    BlueOnly = 3,
    Color = 4,
};
