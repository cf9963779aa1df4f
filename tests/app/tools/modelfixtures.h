#pragma once
// Stacks of a few slices holding models with square outlines, for the
// model dialogs' tests; no image is needed.

#include "app/plxstack.h"
#include "geometry/vertices.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace modeltest {

inline std::unique_ptr<PLXStack> emptyStack(const std::string& name, int slices)
{
    auto stack = std::make_unique<PLXStack>();
    stack->setName(name);
    for (int k = 0; k < slices; ++k)
        stack->addSlice(new StackSlice("s" + std::to_string(k)));
    return stack;
}

inline Model* addModel(Stack& stack, const std::string& name, MPrimitive geometry = MPrimitive::Polygon)
{
    auto* model = new Model(name);
    model->getProperties().setGeometry(geometry);
    stack.addModel(model);
    return model;
}

// An item of the model on slice k with the given vertices, listed in both.
inline ModelItem* addItem(Stack& stack, Model& model, int k, const std::vector<std::pair<int, int>>& points)
{
    auto* item = new ModelItem(&model, stack.getSlice(k));
    Vertices<int> v;
    for (const auto& [x, y] : points)
        v.append(Vector<int>{x, y});
    item->setVertices(v);
    item->attach();
    return item;
}

// The square [x0, x1] x [y0, y1], counter-clockwise.
inline std::vector<std::pair<int, int>> square(int x0, int y0, int x1, int y1)
{
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

// The model names of stack, in order.
inline std::vector<std::string> modelNames(const Stack& stack)
{
    std::vector<std::string> names;
    for (int i = 0; i < stack.getNumModels(); ++i)
        names.push_back(stack.getModel(i)->getName());
    return names;
}

} // namespace modeltest
