#include "stack/model.h"

#include "imageprocessing/snakeconfig.h"
#include "stack/modelitem.h"
#include "stack/stackslice.h"

#include <ostream>

Model::Model()
{
    setNewModelDefaults();
}

Model::Model(const std::string& name) : m_name(name)
{
    setNewModelDefaults();
}

Model::~Model()
{
    deleteItems();
}

void Model::setNewModelDefaults()
{
    m_properties.setGeometry(MPrimitive::Polygon);
    m_properties.setRenderingMode(RenderingMode::Surface);
    m_properties.setOpacity(255.0f);
    m_properties.setShininess(32.0f);
    m_properties.setQuadMeshWidth(100);
    m_properties.setQuadMeshHeight(100);
    m_properties.setEconomicRendering(false);
    m_itemProperties.setDefaults();
    m_itemProperties.setPointSize(3.0f);
}

void Model::setSnakeConfig(const SnakeConfig& config)
{
    m_snakeConfig = std::make_unique<SnakeConfig>(config);
}

void Model::removeSnakeConfig()
{
    m_snakeConfig.reset();
}

bool Model::partiallyContains(const Model& other) const
{
    if (getGeometry() != MPrimitive::Polygon)
        return false;
    for (const ModelItem* theirs : other.getItems())
        for (const ModelItem* ours : getItems())
            if (ours->getSlice() == theirs->getSlice() && ours->partiallyContains(*theirs))
                return true;
    return false;
}

void Model::print(const std::string& title, std::ostream& stream) const
{
    if (!title.empty())
        stream << title << std::endl;
    stream << "Model \"" << m_name << "\": " << ModelProperties::toString(getGeometry()) << ", "
           << getNumItems() << " item(s), item properties " << m_itemProperties << std::endl;
    for (const ModelItem* item : getItems()) {
        stream << "  item on slice \""
               << (item->getSlice() ? item->getSlice()->getName() : std::string("(none)"))
               << "\": " << item->getSize() << " vertices";
        if (item->getProperties().definesAny())
            stream << ", overrides " << item->getProperties();
        stream << std::endl;
    }
}
