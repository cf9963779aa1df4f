#pragma once
// TargetShapeSetGroupRegistration<T>: registers every set of a group onto one
// target set (ShapeSetRegistration); the target, when it belongs to the
// group, stays in place. The dynamics hold the group error before and after.

#include "statistics/shapesetgroupregistration.h"

template <typename T>
class TargetShapeSetGroupRegistration : public ShapeSetGroupRegistration<T> {
public:
    void setTargetShapeSet(const ShapeSet<T>& target) { m_target = &target; }
    const ShapeSet<T>* getTargetShapeSet() const { return m_target; }

    // UsageError without a target.
    void apply(ShapeSetGroup<T>& group) override;

private:
    const ShapeSet<T>* m_target = nullptr;
};

#define PLEXAN_EXTERN_TARGET_SSG_REGISTRATION(T) extern template class TargetShapeSetGroupRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_TARGET_SSG_REGISTRATION)
#undef PLEXAN_EXTERN_TARGET_SSG_REGISTRATION
