#include "geometry/shapeset.h"

#include "geometry/vertexstack.h"

#include <algorithm>

template <typename T>
ShapeSet<T>::ShapeSet(ShapeSet&& other) noexcept
    : m_name(std::move(other.m_name)), m_entries(std::move(other.m_entries))
{
    other.m_entries.clear();
}

template <typename T>
ShapeSet<T>& ShapeSet<T>::operator=(ShapeSet&& other) noexcept
{
    if (this != &other) {
        clear();
        m_name = std::move(other.m_name);
        m_entries = std::move(other.m_entries);
        other.m_entries.clear();
    }
    return *this;
}

template <typename T>
ShapeSet<T>::~ShapeSet()
{
    clear();
}

template <typename T>
void ShapeSet<T>::release(Entry& entry)
{
    if (entry.owned)
        delete entry.shape;
    entry.shape = nullptr;
}

template <typename T>
void ShapeSet<T>::addShape(Shape<T>* shape, bool isReference, bool owned)
{
    m_entries.push_back(Entry{shape, isReference, owned && shape});
}

template <typename T>
void ShapeSet<T>::removeShape(int i)
{
    if (i < 0 || i >= getNumShapes())
        return;
    release(m_entries[static_cast<std::size_t>(i)]);
    m_entries.erase(m_entries.begin() + i);
}

template <typename T>
void ShapeSet<T>::removeShape(const Shape<T>* shape)
{
    for (int i = getNumShapes() - 1; i >= 0; --i)
        if (m_entries[static_cast<std::size_t>(i)].shape == shape)
            removeShape(i);
}

template <typename T>
void ShapeSet<T>::clear()
{
    for (Entry& entry : m_entries)
        release(entry);
    m_entries.clear();
}

template <typename T>
bool ShapeSet<T>::onlyReference() const
{
    return std::all_of(m_entries.begin(), m_entries.end(),
                       [](const Entry& e) { return !e.shape || e.reference; });
}

template <typename T>
bool ShapeSet<T>::onlyShapeType(int type) const
{
    return std::all_of(m_entries.begin(), m_entries.end(),
                       [type](const Entry& e) { return !e.shape || e.shape->getShapeType() == type; });
}

template <typename T>
ShapeSet<T> ShapeSet<T>::referenceShapeSet() const
{
    ShapeSet set(m_name);
    for (const Entry& entry : m_entries)
        if (entry.reference)
            set.addShape(entry.shape, true, false);
    return set;
}

template <typename T>
VertexStack<T> ShapeSet<T>::asVertexStack() const
{
    int space = 0;
    for (const Entry& entry : m_entries)
        if (entry.shape && entry.shape->getNumVertices() > 0) {
            space = entry.shape->getSpace();
            break;
        }
    const int total = numVertices();
    VertexStack<T> stack(space, 0, 0, std::max(total, 1), std::max(total, 1));
    auto addList = [&](const Vertices<T>& list) {
        Vertices<T> level;
        level.setServer(stack.getServer());
        level.append(list); // copies onto the stack's pool
        stack.append(level);
    };
    for (const Entry& entry : m_entries) {
        if (!entry.shape)
            continue;
        if (const auto* list = dynamic_cast<const Vertices<T>*>(entry.shape)) {
            addList(*list);
        } else if (const auto* levels = dynamic_cast<const VertexStack<T>*>(entry.shape)) {
            for (int k = 0; k < levels->getHeight(); ++k)
                addList((*levels)[k]);
        } else {
            Vertices<T> level;
            level.setServer(stack.getServer());
            for (ConstVertexIterator<T> it(*entry.shape); it.current(); ++it)
                level.append(*it.current());
            stack.append(level);
        }
    }
    return stack;
}

template <typename T>
int ShapeSet<T>::numVertices() const
{
    int n = 0;
    for (const Entry& entry : m_entries)
        if (entry.shape)
            n += entry.shape->getNumVertices();
    return n;
}

#define PLEXAN_INSTANTIATE(T) template class ShapeSet<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
