#pragma once
// PLXImagePointer: an image shared between the loading job that made it and
// every view that shows it. Images are never changed once published: a job
// that replaces one publishes a new image, so a view may keep drawing the old
// one from any thread without locking.

#include "image/image.h"

#include <QMetaType>

#include <memory>

using PLXImagePointer = std::shared_ptr<const Image>;

Q_DECLARE_METATYPE(PLXImagePointer)
