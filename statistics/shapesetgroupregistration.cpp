#include "statistics/shapesetgroupregistration.h"

template <typename T>
void ShapeSetGroupRegistration<T>::errorType1(const ShapeSetGroup<T>& group, T& mean, T& sem)
{
    std::vector<ShapeSet<T>> references;
    references.reserve(static_cast<std::size_t>(group.getNumShapeSets()));
    for (int i = 0; i < group.getNumShapeSets(); ++i)
        references.push_back(group[i].referenceShapeSet());
    std::vector<T> pooled;
    for (std::size_t i = 0; i < references.size(); ++i)
        for (std::size_t j = i + 1; j < references.size(); ++j) {
            const Vector<T> d = references[i].rmsDistances(references[j]);
            pooled.insert(pooled.end(), d.begin(), d.end());
        }
    mean = T(0);
    sem = T(0);
    if (pooled.empty())
        return;
    Vector<T> all(static_cast<unsigned int>(pooled.size()));
    std::copy(pooled.begin(), pooled.end(), all.begin());
    mean = all.mean();
    sem = all.getSize() >= 2 ? all.sem(true) : T(0);
}

template <typename T>
std::vector<ShapeSet<T>> ShapeSetGroupRegistration<T>::matchedReferenceSets(const ShapeSetGroup<T>& group)
{
    std::vector<ShapeSet<T>> references;
    references.reserve(static_cast<std::size_t>(group.getNumShapeSets()));
    for (int i = 0; i < group.getNumShapeSets(); ++i)
        references.push_back(group[i].referenceShapeSet());
    for (std::size_t i = 1; i < references.size(); ++i)
        references[i].matchSurfaces(references[0]);
    return references;
}

template <typename T>
void ShapeSetGroupRegistration<T>::reset(int n)
{
    SquareMatrix<T> identity;
    identity.setIdentity(3);
    Vector<T> zero;
    zero.setZeros(3);
    m_rotations.assign(static_cast<std::size_t>(n), identity);
    m_translations.assign(static_cast<std::size_t>(n), zero);
    m_means.clear();
    m_sems.clear();
}

template <typename T>
void ShapeSetGroupRegistration<T>::recordError(const ShapeSetGroup<T>& group)
{
    T mean;
    T sem;
    errorType1(group, mean, sem);
    m_means.push_back(mean);
    m_sems.push_back(sem);
}

template <typename T>
void ShapeSetGroupRegistration<T>::compose(int i, const SquareMatrix<T>& r, const Vector<T>& t)
{
    const std::size_t k = static_cast<std::size_t>(i);
    m_rotations[k] = SquareMatrix<T>(r * m_rotations[k]);
    m_translations[k] = r * m_translations[k] + t;
}

#define PLEXAN_INSTANTIATE(T) template class ShapeSetGroupRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
