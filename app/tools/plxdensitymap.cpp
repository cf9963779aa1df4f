// Before any Qt header: Qt defines "emit" as a keyword.
#include "imageprocessing/marchingcubes.h"

#include "app/tools/plxdensitymap.h"

#include "app/plxstack.h"
#include "geometry/curvestack.h"
#include "geometry/quadmesh.h"
#include "geometry/vertexstack.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackreconstruction.h"
#include "statistics/histogramdensityestimator.h"
#include "statistics/modeldensitymap.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

PLXDensityMap::~PLXDensityMap() = default;

std::vector<std::string> PLXDensityMap::commonModelNames(const std::vector<const Stack*>& stacks, bool points)
{
    std::vector<std::string> names;
    if (stacks.empty())
        return names;
    std::set<std::string> found;
    const Stack& first = *stacks.front();
    for (int m = 0; m < first.getNumModels(); ++m) {
        const Model& model = *first.getModel(m);
        if ((model.getGeometry() == MPrimitive::Polypoint) != points)
            continue;
        if (!points && model.getGeometry() != MPrimitive::Polygon)
            continue;
        bool everywhere = true;
        for (const Stack* stack : stacks) {
            const int index = stack->findModel(model.getName());
            everywhere = everywhere && index >= 0 && stack->getModel(index)->getGeometry() == model.getGeometry();
        }
        if (everywhere)
            found.insert(model.getName());
    }
    return {found.begin(), found.end()};
}

long long PLXDensityMap::getNumPoints() const
{
    long long n = 0;
    for (const auto& p : m_patterns)
        n += p->getNumVertices();
    return n;
}

bool PLXDensityMap::compute()
{
    reset();
    const char* where = "bool PLXDensityMap::compute()";
    ModelDensityMap<float> map;
    map.setModelName(m_config.modelName);
    map.setMethod(m_config.histogram ? ModelDensityMap<float>::Histogram : ModelDensityMap<float>::Poisson);
    map.setNeighbourRank(m_config.neighbourRank);
    map.setGridSize(m_config.grid[0], m_config.grid[1], m_config.grid[2]);
    map.setMargin(m_config.margin);
    for (const Stack* stack : m_config.stacks)
        map.addStack(*stack);
    // Every stack's pattern must hold the k-th neighbour of a sample.
    if (!m_config.histogram)
        for (const Stack* stack : m_config.stacks) {
            const int index = stack->findModel(m_config.modelName);
            if (index < 0)
                continue; // the map names the stack
            long long n = 0;
            for (int i = 0; i < stack->getModel(index)->getNumItems(); ++i)
                n += stack->getModel(index)->getItem(i)->getSize();
            if (n < m_config.neighbourRank)
                throw ValueError(where, "The neighbour rank " + std::to_string(m_config.neighbourRank) +
                                            " exceeds the " + std::to_string(n) + " points of model \"" +
                                            m_config.modelName + "\" in stack \"" + stack->getName() + "\"");
        }

    map.addMonitor(*this);
    map.compute();
    map.removeMonitor(*this);
    if (isCanceled())
        return false;

    VoxelMatrix<float> density = map.getDensity();
    const Grid<float> grid = map.getGrid();
    std::vector<std::unique_ptr<Vertices<float>>> patterns;
    for (int s = 0; s < map.getNumPatterns(); ++s)
        patterns.push_back(std::make_unique<Vertices<float>>(map.getPattern(s)));

    std::unique_ptr<TriMesh<float>> mask;
    Vector<float> levels;
    if (!m_config.maskModelName.empty()) {
        notifyProgressed("Applying the mask...");
        const Stack& first = *m_config.stacks.front();
        const int index = first.findModel(m_config.maskModelName);
        if (index < 0 || first.getModel(index)->getGeometry() != MPrimitive::Polygon)
            throw ValueError(where, "Stack \"" + first.getName() + "\" has no outlined model \"" +
                                        m_config.maskModelName + "\"");
        const Model& model = *first.getModel(index);
        const StackReconstruction<float> reconstruction(first);
        const std::unique_ptr<VertexStack<float>> shape = reconstruction.apply(model);
        const auto* contours = dynamic_cast<const CurveStack<float>*>(shape.get());
        if (!contours || contours->getHeight() < 2)
            throw ValueError(where, "The mask \"" + m_config.maskModelName + "\" needs contours on two slices at least");
        int widest = 3;
        for (int k = 0; k < contours->getHeight(); ++k)
            widest = std::max(widest, (*contours)[k].getNumVertices());
        const int ownHeight = static_cast<int>(model.getProperties().getQuadMeshHeight());
        const int ownWidth = static_cast<int>(model.getProperties().getQuadMeshWidth());
        const int height = ownHeight > 1 ? ownHeight : contours->getHeight();
        const int width = ownWidth > 2 ? ownWidth : widest;
        QuadMesh<float> surface = contours->resample(height, width);
        surface.buildCaps();
        HistogramDensityEstimator<float> masking;
        masking.addMonitor(*this);
        masking.setMaskShapes({&surface});
        masking.getMaskSurfaces().front()->setInsideFlag(m_config.keepInside);
        for (const auto& p : patterns)
            masking.addShape(*p);
        // The cells of the grid are centred on the samples.
        masking.applyMasks(density, grid.getBoundingBox());
        masking.removeMonitor(*this);
        if (isCanceled())
            return false;
        mask = std::make_unique<TriMesh<float>>(surface.toTriMesh());
        levels = masking.percentiles(density, grid, m_config.percentiles);
    } else {
        levels = map.percentiles(m_config.percentiles);
    }

    // Isosurfaces from voxel indices to the stacks' frame: sample i of an
    // axis lies at the centre of cell i.
    std::vector<std::unique_ptr<TriMesh<float>>> surfaces;
    const Vector<float> resolution = grid.getResolutions();
    Vector<float> origin(3u);
    for (int a = 0; a < 3; ++a)
        origin[a] = grid.getBoundingBox().min(a) + 0.5f * resolution[a];
    MarchingCubes<float> cubes;
    for (int q = 0; q < levels.getSize(); ++q) {
        notifyProgressed("Building the isosurface of the " + std::to_string(m_config.percentiles[static_cast<std::size_t>(q)]) + " percentile...");
        if (isCanceled())
            return false;
        // The extractor reports per cube layer, and a cancel reaches it
        // through this proxy while it runs.
        cubes.addMonitor(*this);
        auto mesh = std::make_unique<TriMesh<float>>(cubes.buildMesh(density, levels[q], true));
        cubes.removeMonitor(*this);
        if (isCanceled())
            return false;
        mesh->scale(resolution);
        mesh->translate(origin);
        surfaces.push_back(std::move(mesh));
    }
    if (isCanceled())
        return false;

    m_density = std::move(density);
    m_grid = grid;
    m_patterns = std::move(patterns);
    m_levels = levels;
    m_surfaces = std::move(surfaces);
    m_mask = std::move(mask);
    m_stackFiles.clear();
    for (const Stack* stack : m_config.stacks)
        if (const auto* s = dynamic_cast<const PLXStack*>(stack))
            m_stackFiles.push_back(s->getFilename());
    m_done = true;
    return true;
}

bool PLXDensityMap::save(const QString& filename, QString* error) const
{
    const auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(filename, why);
        return false;
    };
    if (!m_done)
        return fail(QStringLiteral("no density map was computed"));
    const QFileInfo target(filename);
    for (const QString& file : m_stackFiles)
        if (!file.isEmpty() && target.exists() && QFileInfo(file).exists() &&
            target.canonicalFilePath() == QFileInfo(file).canonicalFilePath())
            return fail(QStringLiteral("it is one of the stacks mapped"));
    if (target.exists() && !target.isFile())
        return fail(QStringLiteral("it is not a file"));
    // Written aside, in the target's directory, then renamed over it.
    QTemporaryFile aside(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral("-XXXXXX"));
    if (!aside.open())
        return fail(aside.errorString());
    const std::string path = QFile::encodeName(aside.fileName()).toStdString();
    aside.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                         QFileDevice::ReadOther);
    aside.close();
    {
        std::ofstream stream(path, std::ios::out | std::ios::binary | std::ios::trunc);
        if (stream) {
            try {
                m_density.saveUnderFormat1(stream);
            } catch (const Exception& e) {
                return fail(QString::fromStdString(e.getWhat()));
            }
            stream.close();
        }
        if (!stream)
            return fail(QStringLiteral("the voxel data could not be written"));
    }
    std::error_code code;
    std::filesystem::rename(path, QFile::encodeName(target.absoluteFilePath()).toStdString(), code);
    if (code)
        return fail(QString::fromStdString(code.message()));
    aside.setAutoRemove(false);
    return true;
}
