#include "stack/stackslice.h"

#include "stack/stack.h"

#include <ostream>

StackSlice::~StackSlice()
{
    deleteItems();
}

int StackSlice::indexInStack() const
{
    return m_stack ? m_stack->findSlice(this) : -1;
}

bool StackSlice::isFirstSlice() const
{
    return !m_stack || m_stack->getNumSlices() == 0 || m_stack->getFirstSlice() == this;
}

bool StackSlice::isLastSlice() const
{
    return !m_stack || m_stack->getNumSlices() == 0 || m_stack->getLastSlice() == this;
}

StackSlice* StackSlice::prevSlice() const
{
    StackSlice* self = const_cast<StackSlice*>(this);
    return m_stack ? m_stack->getPreviousSlice(self) : self;
}

StackSlice* StackSlice::nextSlice() const
{
    StackSlice* self = const_cast<StackSlice*>(this);
    return m_stack ? m_stack->getNextSlice(self) : self;
}

void StackSlice::setRelativePosition(float d)
{
    m_useDefaultRelativePosition = false;
    m_useRelativePosition = true;
    m_position = d;
}

void StackSlice::setDefaultRelativePosition()
{
    m_useDefaultRelativePosition = true;
    m_useRelativePosition = true;
}

void StackSlice::setAbsolutePosition(float position)
{
    m_useDefaultRelativePosition = false;
    m_useRelativePosition = false;
    m_position = position;
}

float StackSlice::relativePosition(int index, float previousAbsolute) const
{
    if (m_useDefaultRelativePosition)
        return m_stack ? m_stack->getDefaultRelativePosition() : 0.0f;
    if (m_useRelativePosition)
        return m_position;
    if (index <= 0)
        return 0.0f;
    return m_position - previousAbsolute;
}

float StackSlice::getRelativePosition() const
{
    const int index = indexInStack();
    if (index <= 0 || (m_useRelativePosition))
        return relativePosition(index, 0.0f);
    return relativePosition(index, m_stack->getSlice(index - 1)->getAbsolutePosition());
}

float StackSlice::getAbsolutePosition() const
{
    if (!m_useRelativePosition)
        return m_position;
    const int index = indexInStack();
    if (index <= 0)
        return 0.0f;
    return m_stack->absolutePosition(index);
}

void StackSlice::print(const std::string& title, std::ostream& stream) const
{
    if (!title.empty())
        stream << title << std::endl;
    stream << "Slice \"" << getName() << "\": " << width() << " x " << height()
           << ", position " << getAbsolutePosition() << " (relative " << getRelativePosition()
           << (m_useDefaultRelativePosition ? ", default"
                                            : m_useRelativePosition ? ", own" : ", absolute")
           << "), registration " << m_registration << ", " << getNumItems() << " item(s)"
           << std::endl;
}
