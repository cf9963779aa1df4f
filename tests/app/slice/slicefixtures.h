#pragma once
// Small stacks for the slice views' tests: slice images written to a
// scratch directory, models of each geometry, items drawn at known places.

#include "image/image.h"
#include "image/imagesourcefile.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace slicefixtures {

// Grey level of pixel (x, y) in the images written below.
inline int level(int x, int y)
{
    return (x * 3 + y * 5) % 256;
}

inline int uniformLevel(int slice)
{
    return 20 + 40 * slice;
}

inline Image greyImage(int width, int height, int depth = 8)
{
    Image image(width, height, depth);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (depth == 16) {
                const std::uint16_t v = static_cast<std::uint16_t>(level(x, y) * 200);
                std::memcpy(image.getRow(y) + 2 * x, &v, 2);
            } else {
                image.getRow(y)[x] = static_cast<unsigned char>(level(x, y));
            }
        }
    return image;
}

inline bool waitFor(const std::function<bool()>& done)
{
    return QTest::qWaitFor(done, 10000);
}

// A stack of n slices whose images are written into dir.
class TestStack {
public:
    // uniform: slice i is all uniformLevel(i), otherwise level(x, y).
    TestStack(const QTemporaryDir& dir, int n, int width, int height, int depth = 8, bool uniform = false)
    {
        for (int i = 0; i < n; ++i) {
            const std::string path = (dir.path() + QString("/slice%1.tif").arg(i)).toStdString();
            Image image = greyImage(width, height, depth);
            if (uniform)
                std::memset(image.getData(), uniformLevel(i), image.dataLength());
            image.writeFile(path, "", true);
            auto* slice = new StackSlice("s" + std::to_string(i + 1));
            slice->setImageSource(ImageSourceFile(path));
            stack.addSlice(slice);
        }
    }

    Model* addModel(const std::string& name, MPrimitive geometry, int r, int g, int b)
    {
        auto* model = new Model(name);
        model->getProperties().setGeometry(geometry);
        model->getItemProperties().setColor(r, g, b);
        stack.addModel(model);
        return model;
    }

    static ModelItem* addItem(Model* model, StackSlice* slice, const std::vector<std::pair<int, int>>& points)
    {
        auto* item = new ModelItem(model, slice);
        for (const auto& [x, y] : points)
            item->appendVertex(Vector<int>{x, y});
        item->attach();
        return item;
    }

    Stack stack;
};

} // namespace slicefixtures
