#pragma once
// Small application stacks for the tool windows' tests: slice images drawn
// by a function and written to a scratch directory, and mouse events sent
// straight to a widget.

#include "app/plxstack.h"
#include "image/image.h"
#include "image/imagesourcefile.h"
#include "stack/stackslice.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

namespace toolstest {

// A stack whose slice images are written into a directory of its own.
class ImageStack {
public:
    ImageStack() : stack(std::make_unique<PLXStack>()) { stack->setName("cells"); }

    // Appends a slice of an 8-bit grey image of width x height drawn by
    // level(x, y), with square pixels of the given size.
    StackSlice* addSlice(int width, int height, const std::function<int(int, int)>& level, float pixel = 1.0f)
    {
        const int k = stack->getNumSlices();
        const std::string path = (dir.path() + QStringLiteral("/s%1.tif").arg(k)).toStdString();
        Image image(width, height, 8);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.getRow(y)[x] = static_cast<unsigned char>(level(x, y));
        image.writeFile(path, "", true);
        auto* slice = new StackSlice("s" + std::to_string(k));
        slice->setImageSource(ImageSourceFile(path));
        PixelCalibration c = stack->getDefaultPixelCalibration();
        c.setPixelWidth(pixel);
        c.setPixelHeight(pixel);
        c.setAspectRatio(1.0f);
        slice->setPixelCalibration(c);
        stack->addSlice(slice);
        return slice;
    }

    QTemporaryDir dir;
    std::unique_ptr<PLXStack> stack;
};

inline void sendMouse(QWidget& widget, QEvent::Type type, const QPointF& position, Qt::MouseButton button,
                      Qt::MouseButtons buttons)
{
    QMouseEvent event(type, position, widget.mapToGlobal(position), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

inline void press(QWidget& widget, const QPointF& p, Qt::MouseButton button)
{
    sendMouse(widget, QEvent::MouseButtonPress, p, button, button);
}

inline void move(QWidget& widget, const QPointF& p, Qt::MouseButton button)
{
    sendMouse(widget, QEvent::MouseMove, p, Qt::NoButton, button);
}

inline void release(QWidget& widget, const QPointF& p, Qt::MouseButton button)
{
    sendMouse(widget, QEvent::MouseButtonRelease, p, button, Qt::NoButton);
}

} // namespace toolstest
