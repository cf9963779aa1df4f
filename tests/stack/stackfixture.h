#pragma once
// Helpers shared by the stack tests: slices of a given image size without an
// image file, slice images in a temporary directory, and items built from
// coordinate lists.

#include "image/imagesource.h"
#include "stackfiles.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace stacktest {

// Names an image of a fixed size without any file behind it.
class FixedSizeSource : public ImageSource {
public:
    FixedSizeSource(int rows, int columns) : m_rows(rows), m_columns(columns) {}
    std::unique_ptr<ImageSource> clone() const override
    {
        return std::make_unique<FixedSizeSource>(*this);
    }
    int getType() const override { return FileType; }
    bool isDefined() const override { return true; }
    int getSize1() const override { return m_rows; }
    int getSize2() const override { return m_columns; }
    int getDepth() const override { return 8; }
    const Colormap* getColormap() const override { return nullptr; }

private:
    int m_rows;
    int m_columns;
};

// Slice images written to a temporary directory for the tests that read them.
class ImageFiles {
public:
    // An image as stackfiletest::writeImage makes it, and a source naming it.
    ImageSourceFile write(const std::string& name, int width, int height, int depth,
                          const std::function<int(int, int, int)>& value)
    {
        const std::string file = m_directory.path(name);
        stackfiletest::writeImage(file, width, height, depth, value);
        return ImageSourceFile(file);
    }

private:
    stackfiletest::TemporaryDirectory m_directory;
};

inline StackSlice* newSlice(const std::string& name, int rows = 100, int columns = 100,
                            float pixelWidth = 1.0f, float pixelHeight = 1.0f)
{
    auto* slice = new StackSlice(name);
    slice->setImageSource(FixedSizeSource(rows, columns));
    PixelCalibration c;
    c.setPixelWidth(pixelWidth);
    c.setPixelHeight(pixelHeight);
    c.setAspectRatio(pixelHeight / pixelWidth);
    slice->setPixelCalibration(c);
    return slice;
}

// A model of the given geometry, added to the stack.
inline Model* newModel(Stack& stack, const std::string& name, MPrimitive geometry = MPrimitive::Polygon)
{
    auto* model = new Model(name);
    model->getProperties().setGeometry(geometry);
    stack.addModel(model);
    return model;
}

using Points = std::vector<std::pair<int, int>>;

inline Vertices<int> toVertices(const Points& points)
{
    Vertices<int> v(2, 0, 0, 0);
    for (const auto& [x, y] : points)
        v.append(Vector<int>{x, y});
    return v;
}

// An item of model on slice, listed by both.
inline ModelItem* newItem(Model* model, StackSlice* slice, const Points& points)
{
    auto* item = new ModelItem(model, slice);
    item->setVertices(toVertices(points));
    item->attach();
    return item;
}

inline Points toPoints(const Vertices<int>& v)
{
    Points points;
    for (int i = 0; i < v.getNumVertices(); ++i)
        points.emplace_back(v[i][0], v[i][1]);
    return points;
}

// Attributes of a property set as name -> text: an independent view to
// check the set operations of model and item properties against.
using Attributes = std::map<std::string, std::string>;

inline Attributes overlaid(Attributes below, const Attributes& above)
{
    for (const auto& [name, value] : above)
        below[name] = value;
    return below;
}

// The attributes of a defined in b with the same value (shared), or not.
inline Attributes agreeing(const Attributes& a, const Attributes& b, bool shared = true)
{
    Attributes result;
    for (const auto& [name, value] : a)
        if ((b.count(name) && b.at(name) == value) == shared)
            result[name] = value;
    return result;
}

// Leaves an attribute undefined or sets one of two values, so that equal
// values are common.
template <typename Set, typename V>
void drawAttribute(std::mt19937& rng, Set set, V v0, V v1)
{
    const int k = std::uniform_int_distribution<int>(0, 2)(rng);
    if (k > 0)
        set(k == 1 ? v0 : v1);
}

} // namespace stacktest
