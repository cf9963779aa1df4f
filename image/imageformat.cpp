#include "image/imageformat.h"

const char* imageFormatName(ImageFormat format)
{
    switch (format) {
    case ImageFormat::None:
        return "None";
    case ImageFormat::Unknown:
        return "Unknwon";
    case ImageFormat::Img:
        return "IMG";
    case ImageFormat::Tiff:
        return "Tiff";
    }
    return "?";
}
