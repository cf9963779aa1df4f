#include "app/plxsliceplacement.h"

#include "stack/stackslice.h"

PLXSlicePlacement PLXSlicePlacement::of(const StackSlice& slice)
{
    PLXSlicePlacement p;
    p.relative = slice.useRelativePosition();
    p.useDefault = slice.useDefaultRelativePosition();
    p.position = p.relative ? (p.useDefault ? 0.0f : slice.getRelativePosition()) : slice.getAbsolutePosition();
    return p;
}

void PLXSlicePlacement::applyTo(StackSlice& slice) const
{
    if (!relative)
        slice.setAbsolutePosition(position);
    else if (useDefault)
        slice.setDefaultRelativePosition();
    else
        slice.setRelativePosition(position);
}
