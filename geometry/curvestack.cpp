#include "geometry/curvestack.h"

#include <istream>

template <typename T>
CurveStack<T>::CurveStack(int space, int height, int width, int capacity, int growth, bool open)
    : VertexStack<T>(space, height, width, capacity, growth), m_open(open)
{
    // The base made plain lists: turn every level into a curve on the same
    // entries.
    for (Vertices<T>*& level : this->m_levels) {
        Curve<T>* curve = new Curve<T>(*level, open);
        delete level;
        level = curve;
    }
}

template <typename T>
CurveStack<T>::CurveStack(const VertexStack<T>& stack, bool open) : m_open(open)
{
    this->setServer(const_cast<VertexServer<T>*>(stack.getServer()));
    for (int k = 0; k < stack.getHeight(); ++k)
        this->insertLevel(this->m_levels.size(), new Curve<T>(stack[k], open));
}

template <typename T>
CurveStack<T>::CurveStack(const std::string& fileName)
{
    this->load(fileName);
}

template <typename T>
void CurveStack<T>::assign(const VertexClient<T>& other)
{
    const CurveStack& stack = dynamic_cast<const CurveStack&>(other);
    if (&stack == this)
        return;
    VertexStack<T>::assign(other);
    m_open = stack.m_open;
}

template <typename T>
CurveStack<T>& CurveStack<T>::operator=(const CurveStack& other)
{
    assign(other);
    return *this;
}

template <typename T>
void CurveStack<T>::setOpen(bool open)
{
    m_open = open;
    for (int k = 0; k < this->getHeight(); ++k)
        level(k).setOpen(open);
}

template <typename T>
void CurveStack<T>::insert(unsigned int k, const Vertices<T>& vertices)
{
    const auto* curve = dynamic_cast<const Curve<T>*>(&vertices);
    if (!curve || curve->isOpen() != m_open)
        throw TypeError("void CurveStack<T>::insert(...)", "Closure mismatch");
    if (!this->m_server)
        this->setServer(const_cast<VertexServer<T>*>(vertices.getServer()));
    this->insertLevel(k, new Curve<T>(*curve));
}

template <typename T>
Curve<T>* CurveStack<T>::newLevel() const
{
    auto* curve = new Curve<T>;
    curve->setOpen(m_open);
    return curve;
}

template <typename T>
bool CurveStack<T>::isBranching() const
{
    const int h = this->getHeight();
    for (int k = 1; k < h; ++k) {
        const Curve<T>& a = level(k - 1);
        const Curve<T>& b = level(k);
        if (a.getNumVertices() > 0 && b.getNumVertices() > 0 && a.vertex(0)[2] == b.vertex(0)[2])
            return true;
    }
    return false;
}

template <typename T>
CurveStack<int> CurveStack<T>::closestPointMap(const VertexStack<T>& other) const
{
    return CurveStack<int>(VertexStack<T>::closestPointMap(other), false);
}

template <typename T>
void CurveStack<T>::read(std::istream& stream)
{
    const int type = this->readStack(stream, "void CurveStack<T>::read(istream&)");
    setOpen(type == OpenCurveStackShape || type == OpenQuadMeshShape);
}

#define PLEXAN_INSTANTIATE(T) template class CurveStack<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
