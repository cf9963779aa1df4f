#include "stack/stack.h"

#include "image/image.h"
#include "image/imagereader.h"
#include "image/pixelmatrix.h"
#include "image/voxelmatrix.h"
#include "stack/calibrationcurve.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/pose.h"
#include "stack/stackslice.h"
#include "stack/standardimage.h"

#include <algorithm>
#include <ostream>

namespace {

template <typename P>
int indexOf(const std::vector<P*>& list, const P* object)
{
    const auto it = std::find(list.begin(), list.end(), object);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

} // namespace

Stack::Stack()
{
    m_defaultCalibration.setLengthUnit(LengthUnit(-6));
}

Stack::~Stack()
{
    clear();
}

void Stack::clear()
{
    for (StackSlice* slice : m_slices)
        delete slice;
    m_slices.clear();
    for (Model* model : m_models)
        delete model;
    m_models.clear();
    for (StandardImage* image : m_standardImages)
        delete image;
    m_standardImages.clear();
    m_lastSegmentedSlice.clear();
    m_lastRegisteredSlice.clear();
}

void Stack::setLengthUnit(const LengthUnit& unit)
{
    m_defaultCalibration.setLengthUnit(unit);
    for (StackSlice* slice : m_slices)
        slice->getPixelCalibration().setLengthUnit(unit);
}

// Slices ---------------------------------------------------------------------

StackSlice* Stack::getNextSlice(StackSlice* s) const
{
    const int i = findSlice(s);
    return i >= 0 && i + 1 < getNumSlices() ? m_slices[i + 1] : s;
}

StackSlice* Stack::getPreviousSlice(StackSlice* s) const
{
    const int i = findSlice(s);
    return i > 0 ? m_slices[i - 1] : s;
}

int Stack::findSlice(const std::string& name) const
{
    for (int i = 0; i < getNumSlices(); ++i)
        if (m_slices[i]->getName() == name)
            return i;
    return -1;
}

int Stack::findSlice(const StackSlice* slice) const
{
    return indexOf(m_slices, slice);
}

void Stack::addSlice(StackSlice* slice)
{
    addSlice(slice, getNumSlices());
}

void Stack::addSlice(StackSlice* slice, int i)
{
    // Listing a slice twice would delete it twice.
    if (!slice || findSlice(slice) >= 0)
        return;
    m_slices.insert(m_slices.begin() + i, slice);
    slice->setStack(this);
}

void Stack::handOnSpacing(int i)
{
    const int n = getNumSlices();
    if (i > 0 && i < n - 1 && m_slices[i + 1]->useRelativePosition())
        m_slices[i + 1]->setRelativePosition(absolutePosition(i + 1) - absolutePosition(i - 1));
}

StackSlice* Stack::removeSlice(int i)
{
    handOnSpacing(i);
    StackSlice* slice = m_slices[i];
    m_slices.erase(m_slices.begin() + i);
    slice->setStack(nullptr);
    return slice;
}

void Stack::deleteSlice(int i)
{
    delete removeSlice(i);
}

float Stack::absolutePosition(int i) const
{
    // Back to the nearest slice that fixes its own position (or the first),
    // then forward through the relative spacings.
    int start = i;
    while (start > 0 && m_slices[start]->useRelativePosition())
        --start;
    const StackSlice* first = m_slices[start];
    float z = first->useRelativePosition() ? 0.0f : first->m_position;
    for (int k = start + 1; k <= i; ++k)
        z += m_slices[k]->relativePosition(k, z);
    return z;
}

std::vector<float> Stack::absolutePositions() const
{
    std::vector<float> z(m_slices.size());
    float previous = 0.0f;
    for (int k = 0; k < getNumSlices(); ++k) {
        const StackSlice* s = m_slices[k];
        if (!s->useRelativePosition())
            previous = s->m_position;
        else
            previous = k == 0 ? 0.0f : previous + s->relativePosition(k, previous);
        z[k] = previous;
    }
    return z;
}

// Models ---------------------------------------------------------------------

int Stack::findModel(const std::string& name) const
{
    for (int i = 0; i < getNumModels(); ++i)
        if (m_models[i]->getName() == name)
            return i;
    return -1;
}

int Stack::findModel(const Model* model) const
{
    return indexOf(m_models, model);
}

void Stack::addModel(Model* model)
{
    addModel(model, -1);
}

void Stack::addModel(Model* model, int i)
{
    if (!model || findModel(model) >= 0)
        return;
    if (i < 0 || i > getNumModels())
        i = getNumModels();
    m_models.insert(m_models.begin() + i, model);
    for (ModelItem* item : model->getItems())
        item->attachToSlice();
}

void Stack::removeModel(Model* model)
{
    for (ModelItem* item : model->getItems())
        item->detachFromSlice();
    const int i = findModel(model);
    if (i >= 0)
        m_models.erase(m_models.begin() + i);
}

void Stack::deleteModel(int i)
{
    Model* model = m_models[i];
    m_models.erase(m_models.begin() + i);
    delete model;
}

void Stack::deleteAllModels()
{
    while (!m_models.empty())
        deleteModel(getNumModels() - 1);
}

bool Stack::hasGeometryModels(MPrimitive g) const
{
    return std::any_of(m_models.begin(), m_models.end(),
                       [g](const Model* m) { return m->getGeometry() == g; });
}

bool Stack::hasGeometryModelItems(MPrimitive g) const
{
    return std::any_of(m_models.begin(), m_models.end(), [g](const Model* m) {
        return m->getGeometry() == g && m->getNumItems() > 0;
    });
}

// Standard images ------------------------------------------------------------

void Stack::addStandardImage(StandardImage* image)
{
    if (!image || std::find(m_standardImages.begin(), m_standardImages.end(), image) !=
                      m_standardImages.end())
        return;
    m_standardImages.push_back(image);
    image->setStack(this);
}

CalibrationCurve* Stack::getCalibration(int i) const
{
    return m_standardImages[i]->getCalibrationCurve();
}

CalibrationCurve* Stack::getCalibration(const std::string& name) const
{
    for (const StandardImage* image : m_standardImages)
        if (image->getName() == name)
            return image->getCalibrationCurve();
    return nullptr;
}

// Images ---------------------------------------------------------------------

int Stack::colorContent() const
{
    if (m_slices.empty())
        return 5;
    ImageReader reader;
    Image image;
    int content = -1;
    for (const StackSlice* slice : m_slices) {
        reader.read(image, slice->getImageSource());
        const int c = static_cast<int>(image.colorContent());
        if (content < 0)
            content = c;
        else if (c != content)
            return static_cast<int>(ImageColorContent::Color);
    }
    return content;
}

bool Stack::isRegular() const
{
    const int n = getNumSlices();
    if (n == 0)
        return false;
    const int w = m_slices[0]->width();
    const int h = m_slices[0]->height();
    for (int k = 1; k < n; ++k) {
        const StackSlice* s = m_slices[k];
        if (s->width() != w || s->height() != h)
            return false;
        const Registration& r = s->getRegistration();
        if (r.getHorizontalShift() != 0 || r.getVerticalShift() != 0 || r.getRotationAngle() != 0.0f)
            return false;
    }
    if (n > 2) {
        const float spacing = m_slices[1]->getRelativePosition();
        for (int k = 2; k < n; ++k)
            if (m_slices[k]->getRelativePosition() != spacing)
                return false;
    }
    return true;
}

template <typename T>
VoxelMatrix<T> Stack::toVoxelMatrix(ImageColorContent content) const
{
    VoxelMatrix<T> volume;
    const int n = getNumSlices();
    if (n == 0)
        return volume;
    const int rows = m_slices[0]->height();
    const int columns = m_slices[0]->width();
    volume.setSize(rows, columns, n);
    Image image;
    for (int z = 0; z < n; ++z) {
        const StackSlice* slice = m_slices[z];
        slice->load(image);
        if (image.getHeight() != rows || image.getWidth() != columns) {
            SizeError e;
            e.setWhere("VoxelMatrix<T> Stack::toVoxelMatrix(ImageColorContent) const");
            e.setWhat("Slice \"" + slice->getName() + "\" differs in size from the first slice");
            throw e;
        }
        switch (content) {
        case ImageColorContent::RedOnly:
            volume[z].convertFromImage(image, ImageChannel::Red);
            break;
        case ImageColorContent::GreenOnly:
            volume[z].convertFromImage(image, ImageChannel::Green);
            break;
        case ImageColorContent::BlueOnly:
            volume[z].convertFromImage(image, ImageChannel::Blue);
            break;
        default:
            image.make8bitsGrayscale();
            volume[z].convertFromImage(image);
            break;
        }
    }
    return volume;
}

template VoxelMatrix<int> Stack::toVoxelMatrix<int>(ImageColorContent) const;
template VoxelMatrix<float> Stack::toVoxelMatrix<float>(ImageColorContent) const;
template VoxelMatrix<double> Stack::toVoxelMatrix<double>(ImageColorContent) const;
template VoxelMatrix<long double> Stack::toVoxelMatrix<long double>(ImageColorContent) const;

void Stack::print(const std::string& title, std::ostream& stream) const
{
    if (!title.empty())
        stream << title << std::endl;
    stream << "Stack \"" << m_name << "\": " << getNumSlices() << " slice(s), " << getNumModels()
           << " model(s), " << getNumPoses() << " pose(s), " << getNumStandardImages()
           << " standard image(s)" << std::endl;
    stream << "  default spacing " << m_defaultRelativePosition << ", pixel "
           << m_defaultCalibration.getPixelWidth() << " x " << m_defaultCalibration.getPixelHeight()
           << " " << getLengthUnit().symbol() << std::endl;
    for (const StackSlice* slice : m_slices)
        slice->print("", stream);
    for (const Model* model : m_models)
        model->print("", stream);
}
