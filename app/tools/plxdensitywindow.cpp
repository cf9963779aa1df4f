#include "app/tools/plxdensitywindow.h"

#include "app/plxevent.h"
#include "app/plxprogressdialog.h"
#include "app/plxstack.h"
#include "app/plxstackserver.h"
#include "app/plxworker.h"
#include "app/tools/plxdensitymap.h"
#include "app/tools/plxstackchecklist.h"
#include "app/tools/plxtablewidget.h"
#include "gl/dialogs.h"
#include "gl/trimeshpaintergl.h"
#include "gl/verticespaintergl.h"
#include "gl/viewercanvasgl.h"
#include "image/colormap.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/morphometrytable.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <charconv>

namespace {


// The shortest decimal form that reads back to the same float.
double shortest(float value)
{
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    double result = value;
    std::from_chars(buffer, written.ptr, result);
    return result;
}

Vector<int> flagColor(int i)
{
    static const Colormap flag = Colormap::flag();
    const int k = i % flag.getSize();
    return Vector<int>{flag.getRed()[k], flag.getGreen()[k], flag.getBlue()[k]};
}

// Warm to cold from the inner (highest) level out.
Vector<int> levelColor(int q, int n)
{
    const double t = n > 1 ? static_cast<double>(q) / (n - 1) : 0.0;
    return Vector<int>{static_cast<int>(60 + 190 * t), static_cast<int>(110 + 40 * t), static_cast<int>(230 - 180 * t)};
}

} // namespace

PLXDensityWindow::PLXDensityWindow(const std::vector<PLXStack*>& checked, QWidget* parent, bool withViewer)
    : QWidget(parent, Qt::Window), m_map(std::make_unique<PLXDensityMap>())
{
    setWindowTitle(tr("Density mapping"));
    m_stacks = new PLXStackCheckList(checked);

    m_model = new QComboBox;
    m_method = new QComboBox;
    m_method->addItems({tr("Poisson (k-th nearest neighbour)"), tr("Histogram (points per cell)")});
    m_rank = new QSpinBox;
    m_rank->setRange(1, 1000);
    m_rank->setValue(PLXDensityMap::Config().neighbourRank);
    auto* grid = new QHBoxLayout;
    for (int a = 0; a < 3; ++a) {
        m_grid[a] = new QSpinBox;
        m_grid[a]->setRange(1, 512);
        m_grid[a]->setValue(PLXDensityMap::Config().grid[a]);
        grid->addWidget(m_grid[a]);
    }
    m_margin = new QDoubleSpinBox;
    m_margin->setRange(0.0, 10.0);
    m_margin->setDecimals(2);
    m_margin->setSingleStep(0.05);
    m_margin->setValue(PLXDensityMap::Config().margin);
    m_mask = new QComboBox;
    m_maskSide = new QComboBox;
    m_maskSide->addItems({tr("Keep inside"), tr("Keep outside")});
    m_percentiles = new QLineEdit(QStringLiteral("50, 90"));
    m_percentiles->setToolTip(tr("Percentages separated by commas: the level of p encloses about 100 - p percent "
                                 "of the points"));

    auto* form = new QFormLayout;
    form->addRow(tr("Stacks:"), m_stacks);
    form->addRow(tr("Point model:"), m_model);
    form->addRow(tr("Estimator:"), m_method);
    form->addRow(tr("Neighbour rank:"), m_rank);
    form->addRow(tr("Grid (x, y, z):"), grid);
    form->addRow(tr("Margin:"), m_margin);
    form->addRow(tr("Mask:"), m_mask);
    form->addRow(QString(), m_maskSide);
    form->addRow(tr("Percentiles:"), m_percentiles);

    m_compute = new QPushButton(tr("Compute"));
    m_save = new QPushButton(tr("Save map..."));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_compute);
    buttons->addWidget(m_save);
    m_summary = new QLabel;
    m_summary->setWordWrap(true);
    m_levels = new PLXTableWidget;
    m_levels->setExportName(QStringLiteral("density-levels"));

    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    auto* settings = new QGroupBox(tr("Estimation"));
    settings->setLayout(form);
    leftLayout->addWidget(settings);
    leftLayout->addLayout(buttons);
    auto* results = new QGroupBox(tr("Levels"));
    auto* resultsLayout = new QVBoxLayout(results);
    resultsLayout->addWidget(m_summary);
    resultsLayout->addWidget(m_levels);
    leftLayout->addWidget(results, 1);

    auto* splitter = new QSplitter;
    splitter->addWidget(left);
    if (withViewer) {
        m_canvas = new ViewerCanvasGL;
        m_canvas->setMinimumSize(360, 360);
        splitter->addWidget(m_canvas);
        splitter->setStretchFactor(1, 1);
    }
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(splitter);

    connect(m_stacks, &PLXStackCheckList::checkedStacksChanged, this, [this] {
        updateModels();
        updateEnabling();
    });
    connect(m_stacks, &PLXStackCheckList::stackRemoved, this, [this](PLXStack* stack) {
        const auto& used = m_map->getConfig().stacks;
        if (std::find(used.begin(), used.end(), stack) != used.end())
            clearMap();
    });
    connect(m_method, &QComboBox::currentIndexChanged, this, &PLXDensityWindow::updateEnabling);
    connect(m_mask, &QComboBox::currentIndexChanged, this, &PLXDensityWindow::updateEnabling);
    connect(m_model, &QComboBox::currentIndexChanged, this, &PLXDensityWindow::updateEnabling);
    connect(m_compute, &QPushButton::clicked, this, &PLXDensityWindow::compute);
    connect(m_save, &QPushButton::clicked, this, &PLXDensityWindow::saveMap);
    updateModels();
    updateEnabling();
    resize(withViewer ? 980 : 420, 640);
}

PLXDensityWindow::~PLXDensityWindow()
{
    if (m_canvas)
        m_canvas->removePainters();
}

std::vector<PLXStack*> PLXDensityWindow::getStacks() const
{
    return m_stacks->getCheckedStacks();
}

std::vector<const Stack*> PLXDensityWindow::constStacks() const
{
    std::vector<const Stack*> stacks;
    for (PLXStack* s : getStacks())
        stacks.push_back(s);
    return stacks;
}

void PLXDensityWindow::setStackChecked(PLXStack& stack, bool checked)
{
    m_stacks->setStackChecked(stack, checked);
}

void PLXDensityWindow::updateModels()
{
    const std::vector<const Stack*> stacks = constStacks();
    const QString model = m_model->currentText();
    const QString mask = m_mask->currentText();
    m_model->blockSignals(true);
    m_model->clear();
    for (const std::string& name : PLXDensityMap::commonModelNames(stacks, true))
        m_model->addItem(QString::fromStdString(name));
    if (m_model->findText(model) >= 0)
        m_model->setCurrentText(model);
    m_model->blockSignals(false);
    m_mask->blockSignals(true);
    m_mask->clear();
    m_mask->addItem(tr("(none)"));
    if (!stacks.empty())
        for (const std::string& name : PLXDensityMap::commonModelNames({stacks.front()}, false))
            m_mask->addItem(QString::fromStdString(name));
    if (m_mask->findText(mask) >= 0)
        m_mask->setCurrentText(mask);
    m_mask->blockSignals(false);
}

void PLXDensityWindow::updateEnabling()
{
    m_rank->setEnabled(m_method->currentIndex() == 0);
    m_maskSide->setEnabled(m_mask->currentIndex() > 0);
    m_compute->setEnabled(!getStacks().empty() && m_model->count() > 0);
    m_save->setEnabled(m_map->hasMap());
}

void PLXDensityWindow::compute()
{
    PLXDensityMap::Config config;
    config.stacks = constStacks();
    config.modelName = m_model->currentText().toStdString();
    config.histogram = m_method->currentIndex() == 1;
    config.neighbourRank = m_rank->value();
    for (int a = 0; a < 3; ++a)
        config.grid[a] = m_grid[a]->value();
    config.margin = m_margin->value();
    config.maskModelName = m_mask->currentIndex() > 0 ? m_mask->currentText().toStdString() : std::string();
    config.keepInside = m_maskSide->currentIndex() == 0;
    config.percentiles.clear();
    for (const QString& field : m_percentiles->text().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const double p = field.trimmed().toDouble(&ok);
        if (!ok || p < 0.0 || p > 100.0) {
            Dialogs::warning(this, tr("Density mapping"),
                             tr("\"%1\" is not a percentage between 0 and 100.").arg(field.trimmed()));
            return;
        }
        config.percentiles.push_back(static_cast<float>(p));
    }
    if (config.stacks.empty() || config.modelName.empty())
        return;

    auto next = std::make_unique<PLXDensityMap>();
    next->setConfig(config);
    bool done = false;
    try {
        PLXWorker worker;
        PLXProgressDialog dialog(tr("Density mapping"), this);
        worker.getProgress().addMonitor(dialog);
        worker.run(
            [&](PLXProgressProxy& progress) {
                next->addMonitor(progress);
                try {
                    done = next->compute();
                } catch (...) {
                    next->removeMonitor(progress);
                    throw;
                }
                next->removeMonitor(progress);
            },
            &dialog);
        worker.getProgress().removeMonitor(dialog);
        done = done && !worker.isCanceled();
    } catch (const Exception& e) {
        Dialogs::warning(this, tr("Density mapping"),
                         tr("The density could not be mapped:\n%1").arg(QString::fromStdString(e.getWhat())));
        return;
    }
    if (!done)
        return;
    clearMap();
    m_map = std::move(next);
    showMap();
    updateEnabling();
}

void PLXDensityWindow::clearMap()
{
    if (m_canvas) {
        m_canvas->removePainters();
        m_canvas->updateBoundingBox();
        m_canvas->update();
    }
    m_painters.clear();
    m_map = std::make_unique<PLXDensityMap>();
    m_levels->setTable(MorphometryTable());
    m_summary->clear();
    updateEnabling();
}

void PLXDensityWindow::showMap()
{
    using Cell = MorphometryTable::Cell;
    const PLXDensityMap::Config& config = m_map->getConfig();
    MorphometryTable table({"percentile", "level"});
    for (std::size_t q = 0; q < config.percentiles.size(); ++q)
        table.addRow({Cell::real(shortest(config.percentiles[q])),
                      Cell::real(shortest(m_map->getLevels()[static_cast<int>(q)]))});
    m_levels->setTable(table);
    const VoxelMatrix<float>& density = m_map->getDensity();
    m_summary->setText(tr("%1 points of %2 (stacks: %3); %4 x %5 x %6 samples, %7.")
                           .arg(m_map->getNumPoints())
                           .arg(QString::fromStdString(config.modelName))
                           .arg(config.stacks.size())
                           .arg(density.getSize1())
                           .arg(density.getSize2())
                           .arg(density.getSize3())
                           .arg(config.histogram ? tr("points per cell")
                                                 : tr("k = %1 (points per cubic unit)").arg(config.neighbourRank)));
    if (!m_canvas)
        return;
    const auto& patterns = m_map->getPatterns();
    for (std::size_t s = 0; s < patterns.size(); ++s) {
        auto painter = std::make_unique<VerticesPainterGL<float>>();
        painter->setShape(*patterns[s]);
        ShapePainterAttributesGL attributes;
        attributes.setColor(flagColor(static_cast<int>(s) + 1));
        attributes.setVertexSymbol(VertexSymbolSphere);
        attributes.setSymbolSize(2.5f);
        attributes.setDisplayMode(DisplayModeSymbol);
        painter->setAttributes(attributes);
        m_painters.push_back(std::move(painter));
    }
    const auto& surfaces = m_map->getSurfaces();
    for (std::size_t q = 0; q < surfaces.size(); ++q) {
        if (surfaces[q]->getNumVertices() == 0)
            continue;
        auto painter = std::make_unique<TriMeshPainterGL<float>>();
        painter->setShape(*surfaces[q]);
        ShapePainterAttributesGL attributes;
        attributes.setColor(levelColor(static_cast<int>(q), static_cast<int>(surfaces.size())));
        attributes.setDisplayMode(DisplayModeSurface);
        attributes.setTransparency(q + 1 == surfaces.size() ? 255.0f : 110.0f);
        attributes.setShininess(40.0f);
        painter->setAttributes(attributes);
        m_painters.push_back(std::move(painter));
    }
    if (const TriMesh<float>* mask = m_map->getMask()) {
        auto painter = std::make_unique<TriMeshPainterGL<float>>();
        painter->setShape(*mask);
        ShapePainterAttributesGL attributes;
        attributes.setColor(170, 170, 170);
        attributes.setDisplayMode(DisplayModeMesh);
        painter->setAttributes(attributes);
        m_painters.push_back(std::move(painter));
    }
    for (const auto& painter : m_painters)
        m_canvas->addPainter(painter.get());
    m_canvas->updateBoundingBox();
    m_canvas->update();
}

void PLXDensityWindow::saveMap()
{
    if (!m_map->hasMap())
        return;
    QString name = Dialogs::getSaveFileName(this, tr("Save density map"),
                                            QString::fromStdString(m_map->getConfig().modelName) +
                                                QStringLiteral("-density.vm"),
                                            tr("Voxel matrices (*.vm)"));
    if (name.isEmpty())
        return;
    if (!name.endsWith(QLatin1String(".vm"), Qt::CaseInsensitive))
        name += QStringLiteral(".vm");
    QString error;
    if (!m_map->save(name, &error))
        Dialogs::warning(this, tr("Save density map"), error);
}

void PLXDensityWindow::modelCreateEvent(PLXModelCreateEvent&)
{
    // A deletion is announced while the model is still there.
    QTimer::singleShot(0, this, [this] {
        updateModels();
        updateEnabling();
    });
}

void PLXDensityWindow::modelDeleteEvent(PLXModelDeleteEvent&)
{
    // A deletion is announced while the model is still there.
    QTimer::singleShot(0, this, [this] {
        updateModels();
        updateEnabling();
    });
}

void PLXDensityWindow::modelPropertiesEvent(PLXModelPropertiesEvent&)
{
    // A deletion is announced while the model is still there.
    QTimer::singleShot(0, this, [this] {
        updateModels();
        updateEnabling();
    });
}
