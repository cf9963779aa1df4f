#pragma once
// FusionConfig<T>: a named fusion of stacks (referenced, not owned; each
// stack is one specimen), with its surface structures and strategy.

#include "statistics/fusionstrategy.h"
#include "statistics/fusionsurfacestructure.h"

#include <string>
#include <vector>

class Stack;

template <typename T>
struct FusionConfig {
    std::string name;
    std::vector<const Stack*> stacks;
    std::vector<FusionSurfaceStructure<T>> surfaceStructures;
    FusionStrategy strategy;

    // The surface structure of that name, null when there is none.
    const FusionSurfaceStructure<T>* findSurfaceStructure(const std::string& structure) const
    {
        for (const FusionSurfaceStructure<T>& s : surfaceStructures)
            if (s.name == structure)
                return &s;
        return nullptr;
    }
};
