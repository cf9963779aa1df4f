#pragma once
// TargetShapeSetGroupWarping<T>: warps every set of a group onto a target set
// (usually the mean shape set) with a polynomial warp of a given degree,
// fitted from the set's reference vertices to the corresponding reference
// vertices of the target and applied to every shape of the set. It counts
// the vertices moved (evaluations) and those where the warp folds (Jacobian
// errors). A cancel is honoured between sets.

#include "numerics/progresssubject.h"
#include "statistics/shapesetgroup.h"

template <typename T>
class TargetShapeSetGroupWarping : public ProgressSubject {
public:
    void setTargetShapeSet(const ShapeSet<T>& target) { m_target = &target; }
    const ShapeSet<T>* getTargetShapeSet() const { return m_target; }

    // UsageError without a target. Sets without a reference shape in common
    // with the target are left as they are.
    void apply(ShapeSetGroup<T>& group, int degree);

    long long numEvaluations() const { return m_evaluations; }
    long long numJacobianErrors() const { return m_jacobianErrors; }

private:
    const ShapeSet<T>* m_target = nullptr;
    long long m_evaluations = 0;
    long long m_jacobianErrors = 0;
};

#define PLEXAN_EXTERN_TARGET_SSG_WARPING(T) extern template class TargetShapeSetGroupWarping<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_TARGET_SSG_WARPING)
#undef PLEXAN_EXTERN_TARGET_SSG_WARPING
