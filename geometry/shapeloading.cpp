// Shape<T>::loadFile: picks the shape class from the type code at the head of
// a shape file. It lives apart from shape.cpp because it needs every concrete
// shape class.
#include "geometry/curve.h"
#include "geometry/curvestack.h"
#include "geometry/quadmesh.h"
#include "geometry/trimesh.h"
#include "geometry/vertexstack.h"
#include "geometry/vertices.h"

#include <fstream>
#include <locale>
#include <memory>

template <typename T>
Shape<T>* Shape<T>::loadFile(const std::string& fileName)
{
    const char* where = "Shape<T>* Shape<T>::loadFile(const string&)";
    int type = -1;
    {
        std::ifstream in(fileName);
        if (!in)
            throw FileReadError(where, "Cannot open file for reading", fileName);
        in.imbue(std::locale::classic());
        char first = 0;
        if (!in.get(first) || first != '#' || !(in >> type))
            throw FileFormatError(where, "Invalid shape description format", fileName);
    }
    std::unique_ptr<Shape<T>> shape;
    switch (type) {
    case ClosedCurveShape:
    case OpenCurveShape:
        shape = std::make_unique<Curve<T>>();
        break;
    case ClosedCurveStackShape:
    case OpenCurveStackShape:
        shape = std::make_unique<CurveStack<T>>();
        break;
    case ClosedQuadMeshShape:
    case OpenQuadMeshShape:
        shape = std::make_unique<QuadMesh<T>>();
        break;
    case VerticesShape:
        shape = std::make_unique<Vertices<T>>();
        break;
    case VertexStackShape:
        shape = std::make_unique<VertexStack<T>>();
        break;
    case TriMeshShape:
        shape = std::make_unique<TriMesh<T>>();
        break;
    default:
        throw FileFormatError(where, "Unknown shape type", fileName);
    }
    try {
        shape->load(fileName);
    } catch (Exception& e) {
        e.addCall(where);
        throw;
    }
    return shape.release();
}

#define PLEXAN_INSTANTIATE(T) template Shape<T>* Shape<T>::loadFile(const std::string&);
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
