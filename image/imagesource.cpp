#include "image/imagesource.h"

Vector<int> ImageSource::getSize() const
{
    return Vector<int>{getSize1(), getSize2()};
}
