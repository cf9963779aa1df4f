// Correspondence and averaging operations of ShapeSet<T>: the surface
// matching, distances and means that bring specimens into one frame.

#include "geometry/shapeset.h"

#include "geometry/quadmesh.h"
#include "numerics/exception.h"

#include <memory>

template <typename T>
void ShapeSet<T>::matchSurfaces(const ShapeSet& other)
{
    const int n = std::min(getNumShapes(), other.getNumShapes());
    for (int i = 0; i < n; ++i) {
        auto* mesh = dynamic_cast<QuadMesh<T>*>((*this)[i]);
        const auto* target = dynamic_cast<const QuadMesh<T>*>(other[i]);
        if (mesh && target && mesh != target)
            mesh->match(*target);
    }
}

template <typename T>
Vector<T> ShapeSet<T>::rmsDistances(const ShapeSet& other) const
{
    if (getNumShapes() != other.getNumShapes())
        throw SizeError("Vector<T> ShapeSet<T>::rmsDistances(const ShapeSet&) const",
                        "Shape sets differ in number of entries");
    std::vector<T> distances;
    for (int i = 0; i < getNumShapes(); ++i)
        if ((*this)[i] && other[i])
            distances.push_back((*this)[i]->rmsDistance(*other[i]));
    Vector<T> out(static_cast<unsigned int>(distances.size()));
    for (std::size_t i = 0; i < distances.size(); ++i)
        out[static_cast<int>(i)] = distances[i];
    return out;
}

template <typename T>
Shape<T>* ShapeSet<T>::average() const
{
    const char* where = "Shape<T>* ShapeSet<T>::average() const";
    std::vector<const Shape<T>*> shapes;
    for (const Entry& entry : m_entries)
        if (entry.shape)
            shapes.push_back(entry.shape);
    if (shapes.empty())
        return nullptr;
    const Shape<T>& first = *shapes.front();
    // Shapes of different types are refused whatever their sizes.
    for (const Shape<T>* shape : shapes)
        if (shape->getShapeType() != first.getShapeType())
            throw ValueError(where, "Shapes in this set are not of the same type");
    for (const Shape<T>* shape : shapes)
        if (shape->getNumVertices() != first.getNumVertices())
            throw SizeError(where, "Shapes in this set differ in number of vertices");

    if (const auto* mesh = dynamic_cast<const QuadMesh<T>*>(&first)) {
        std::vector<const QuadMesh<T>*> meshes;
        for (const Shape<T>* shape : shapes)
            meshes.push_back(static_cast<const QuadMesh<T>*>(shape));
        auto mean = std::make_unique<QuadMesh<T>>(QuadMesh<T>::mean(meshes));
        mean->setName(first.getName());
        if (mesh->isClosed() && mean->getHeight() > 0) {
            if (mesh->hasBeginCap())
                mean->buildBeginCap();
            if (mesh->hasEndCap())
                mean->buildEndCap();
        }
        return mean.release();
    }

    // Any other shape: a private copy of the first whose coordinates become
    // the mean of all, accumulated in the wider type.
    using R = plexan::Accumulator<T>;
    const Vector<T> start = first.toVector();
    std::vector<R> sum(start.begin(), start.end());
    for (std::size_t s = 1; s < shapes.size(); ++s) {
        const Vector<T> x = shapes[s]->toVector();
        for (int k = 0; k < x.getSize(); ++k)
            sum[static_cast<std::size_t>(k)] += static_cast<R>(x[k]);
    }
    const R count = static_cast<R>(shapes.size());
    Vector<T> mean(static_cast<unsigned int>(sum.size()));
    for (int k = 0; k < mean.getSize(); ++k)
        mean[k] = plexan::toCoordinate<T>(sum[static_cast<std::size_t>(k)] / count);
    std::unique_ptr<Shape<T>> result(first.clone());
    result->detach();
    result->fromVector(mean);
    return result.release();
}

template <typename T>
ShapeSet<T> ShapeSet<T>::computeMean(const std::vector<const ShapeSet*>& sets)
{
    ShapeSet mean("mean");
    int entries = 0;
    for (const ShapeSet* set : sets)
        entries = std::max(entries, set->getNumShapes());
    for (int i = 0; i < entries; ++i) {
        ShapeSet column;
        bool reference = false;
        bool flagged = false;
        bool sameType = true;
        bool sameCount = true;
        for (const ShapeSet* set : sets) {
            if (i >= set->getNumShapes() || !(*set)[i])
                continue;
            if (!flagged) {
                reference = set->isReference(i);
                flagged = true;
            } else {
                sameType = sameType && (*set)[i]->getShapeType() == column[0]->getShapeType();
                sameCount = sameCount && (*set)[i]->getNumVertices() == column[0]->getNumVertices();
            }
            column.addShape((*set)[i]);
        }
        // Shapes of different kinds have no mean whatever their sizes:
        // average() refuses them.
        mean.addShape(sameType && !sameCount ? nullptr : column.average(), reference, true);
    }
    return mean;
}

#define PLEXAN_INSTANTIATE(T)                                                     \
    template void ShapeSet<T>::matchSurfaces(const ShapeSet<T>&);                 \
    template Vector<T> ShapeSet<T>::rmsDistances(const ShapeSet<T>&) const;       \
    template Shape<T>* ShapeSet<T>::average() const;                              \
    template ShapeSet<T> ShapeSet<T>::computeMean(const std::vector<const ShapeSet<T>*>&);
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
