#pragma once
// Model: a named group of model items (outlines or point sets of one
// structure on the slices of a stack) sharing display properties: the
// model's rendering properties, the default drawing properties of its items
// and, optionally, the active-contour configuration used to outline them.
//
// A new model is a red surface-rendered polygon model whose items are drawn
// with spheres of point size 3; its cap flags are undefined.

#include "stack/modelitemowner.h"
#include "stack/modelitemproperties.h"
#include "stack/modelproperties.h"

#include <iostream>
#include <memory>
#include <string>

class SnakeConfig;

class Model : public ModelItemOwner {
public:
    Model();
    explicit Model(const std::string& name);
    // Deletes the model's items, which unlink themselves from their slices.
    ~Model() override;

    void setName(const std::string& name) { m_name = name; }
    const std::string& getName() const { return m_name; }

    void setProperties(const ModelProperties& p) { m_properties = p; }
    const ModelProperties& getProperties() const { return m_properties; }
    ModelProperties& getProperties() { return m_properties; }
    MPrimitive getGeometry() const { return m_properties.getGeometry(); }

    // The default drawing properties of the items.
    void setItemProperties(const ModelItemProperties& p) { m_itemProperties = p; }
    const ModelItemProperties& getItemProperties() const { return m_itemProperties; }
    ModelItemProperties& getItemProperties() { return m_itemProperties; }

    // Copies the configuration in (its SnakeConfig part).
    void setSnakeConfig(const SnakeConfig& config);
    bool hasSnakeConfig() const { return m_snakeConfig != nullptr; }
    // Null until a configuration is set.
    const SnakeConfig* getSnakeConfig() const { return m_snakeConfig.get(); }
    void removeSnakeConfig();

    // For a Polygon model: whether some item of this model partially
    // contains, on the same slice, some item of other.
    bool partiallyContains(const Model& other) const;

    void print(const std::string& title = "", std::ostream& stream = std::cout) const;

private:
    void setNewModelDefaults();

    std::string m_name = "<model>";
    ModelProperties m_properties;
    ModelItemProperties m_itemProperties;
    std::unique_ptr<SnakeConfig> m_snakeConfig;
};
