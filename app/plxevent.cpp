#include "app/plxevent.h"

#include "numerics/exception.h"

PLXStack& PLXStackEvent::getStack() const
{
    if (!m_stack)
        throw ProgramError("PLXStack& PLXStackEvent::getStack()", "Stack is null");
    return *m_stack;
}

StackSlice& PLXSliceEvent::getSlice() const
{
    if (!m_slice)
        throw ProgramError("StackSlice& PLXSliceEvent::getSlice()", "Slice is null");
    return *m_slice;
}

Model& PLXModelEvent::getModel() const
{
    if (!m_model)
        throw ProgramError("Model& PLXModelEvent::getModel()", "Model is null");
    return *m_model;
}

ModelItem& PLXModelItemEvent::getItem() const
{
    if (!m_item)
        throw ProgramError("ModelItem& PLXModelItemEvent::getItem()", "Item is null");
    return *m_item;
}

Pose& PLXPoseEvent::getPose() const
{
    if (!m_pose)
        throw ProgramError("Pose& PLXPoseEvent::getPose()", "Pose is null");
    return *m_pose;
}
