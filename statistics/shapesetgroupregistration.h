#pragma once
// ShapeSetGroupRegistration<T>: the base of the rigid registrations of a
// whole group of shape sets. It keeps the transform applied to each set
// (one rotation matrix and one translation vector per set, accumulated over
// the run) and the dynamics: the group error before the registration and
// after each round, as a mean and its standard error.
//
// The group error (errorType1): for every pair of sets i < j, the RMS
// distances between the corresponding shapes of their reference sets are
// pooled into one vector; the error is its mean and standard error (sample
// form from two values on, 0 below).

#include "numerics/progresssubject.h"
#include "numerics/squarematrix.h"
#include "statistics/shapesetgroup.h"

#include <vector>

template <typename T>
class ShapeSetGroupRegistration : public ProgressSubject {
public:
    ~ShapeSetGroupRegistration() override = default;

    virtual void apply(ShapeSetGroup<T>& group) = 0;

    const std::vector<SquareMatrix<T>>& getRotationMatrices() const { return m_rotations; }
    const std::vector<Vector<T>>& getTranslationVectors() const { return m_translations; }
    void getDynamics(std::vector<T>& means, std::vector<T>& sems) const
    {
        means = m_means;
        sems = m_sems;
    }
    int getNumIterations() const { return static_cast<int>(m_means.size()) - 1; }

    static void errorType1(const ShapeSetGroup<T>& group, T& mean, T& sem);
    // The reference sets of the group's sets, turned to correspond with the
    // first one's meshes.
    static std::vector<ShapeSet<T>> matchedReferenceSets(const ShapeSetGroup<T>& group);

protected:
    // Identity transforms for n sets and no dynamics.
    void reset(int n);
    // Appends the group error of group to the dynamics.
    void recordError(const ShapeSetGroup<T>& group);
    // Composes a registration's rotation r and translation t into set i's
    // transform.
    void compose(int i, const SquareMatrix<T>& r, const Vector<T>& t);

    std::vector<SquareMatrix<T>> m_rotations;
    std::vector<Vector<T>> m_translations;
    std::vector<T> m_means;
    std::vector<T> m_sems;
};

#define PLEXAN_EXTERN_SHAPE_SET_GROUP_REGISTRATION(T) extern template class ShapeSetGroupRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_SHAPE_SET_GROUP_REGISTRATION)
#undef PLEXAN_EXTERN_SHAPE_SET_GROUP_REGISTRATION
