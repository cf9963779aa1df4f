#include "app/tools/plxfusionwindow.h"

#include "app/plxevent.h"
#include "app/plxprogressdialog.h"
#include "app/plxstack.h"
#include "app/plxstackserver.h"
#include "app/plxworker.h"
#include "app/tools/plxstackchecklist.h"
#include "geometry/quadmesh.h"
#include "geometry/vertexstack.h"
#include "gl/dialogs.h"
#include "gl/quadmeshpaintergl.h"
#include "gl/vertexstackpaintergl.h"
#include "gl/viewercanvasgl.h"
#include "image/colormap.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "statistics/fusion.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

#include <map>
#include <set>

namespace {

// Reference structures are resampled into meshes of this many levels and
// columns unless the user asks otherwise: enough for an organ's shape, few
// enough for the registration to be quick.
constexpr int defaultLevels = 12;
constexpr int defaultColumns = 24;

Vector<int> flagColor(int i)
{
    static const Colormap flag = Colormap::flag();
    const int k = i % flag.getSize();
    return Vector<int>{flag.getRed()[k], flag.getGreen()[k], flag.getBlue()[k]};
}

QSpinBox* sizeBox(int value)
{
    auto* box = new QSpinBox;
    box->setRange(0, 500);
    box->setSpecialValueText(QObject::tr("own"));
    box->setValue(value > 0 ? value : 0);
    return box;
}

// Every open stack is a specimen by default, and so is each stack given.
std::vector<PLXStack*> openAndGiven(const std::vector<PLXStack*>& given)
{
    std::vector<PLXStack*> stacks = given;
    for (int i = 0; i < PLXStackServer::stackServer.getNumStacks(); ++i)
        stacks.push_back(PLXStackServer::stackServer.getStack(i));
    return stacks;
}

} // namespace

PLXFusionWindow::PLXFusionWindow(const std::vector<PLXStack*>& stacks, QWidget* parent, bool withViewer)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(tr("Fusion"));
    m_name = new QLineEdit(tr("Fusion"));
    m_stacks = new PLXStackCheckList(openAndGiven(stacks));
    m_structures = new QTableWidget(0, 4);
    m_structures->setHorizontalHeaderLabels({tr("Structure"), tr("Reference"), tr("Levels"), tr("Columns")});
    m_structures->verticalHeader()->setVisible(false);
    m_structures->horizontalHeader()->setStretchLastSection(true);
    m_structures->setSelectionMode(QAbstractItemView::NoSelection);
    // Tab leaves the table for the size fields of its rows (the arrows move
    // between its cells).
    m_structures->setTabKeyNavigation(false);

    m_alignment = new QCheckBox(tr("Align shape centers and axes"));
    m_alignment->setChecked(true);
    m_registration = new QCheckBox(tr("Rigid registration"));
    m_registration->setChecked(true);
    m_method = new QComboBox;
    m_method->addItems({tr("Global"), tr("Pairwise")});
    m_template = new QComboBox;
    m_warping = new QCheckBox(tr("Warping"));
    m_warpingModel = new QComboBox;
    m_warpingModel->addItems({tr("Polynomials"), tr("Thin-plate splines")});
    m_degree = new QSpinBox;
    m_degree->setRange(1, 5);
    m_degree->setValue(2);

    auto* strategy = new QFormLayout;
    strategy->addRow(m_alignment);
    strategy->addRow(m_registration);
    strategy->addRow(tr("Method:"), m_method);
    strategy->addRow(tr("Template stack:"), m_template);
    strategy->addRow(m_warping);
    strategy->addRow(tr("Model:"), m_warpingModel);
    strategy->addRow(tr("Degree:"), m_degree);
    auto* strategyBox = new QGroupBox(tr("Strategy"));
    strategyBox->setLayout(strategy);

    auto* form = new QFormLayout;
    form->addRow(tr("Name:"), m_name);
    form->addRow(tr("Stacks:"), m_stacks);
    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->addLayout(form);
    leftLayout->addWidget(new QLabel(tr("Structures:")));
    leftLayout->addWidget(m_structures, 1);
    leftLayout->addWidget(strategyBox);
    m_run = new QPushButton(tr("Run"));
    leftLayout->addWidget(m_run);
    m_status = new QLabel;
    m_status->setWordWrap(true);
    leftLayout->addWidget(m_status);

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
        updateStructures();
        updateEnabling();
    });
    connect(m_stacks, &PLXStackCheckList::stackRemoved, this, [this](PLXStack* stack) {
        if (std::find(m_fusedStacks.begin(), m_fusedStacks.end(), stack) != m_fusedStacks.end())
            clearFusion();
    });
    for (QCheckBox* box : {m_registration, m_warping})
        connect(box, &QCheckBox::toggled, this, &PLXFusionWindow::updateEnabling);
    connect(m_method, &QComboBox::currentIndexChanged, this, &PLXFusionWindow::updateEnabling);
    connect(m_warpingModel, &QComboBox::currentIndexChanged, this, &PLXFusionWindow::updateEnabling);
    connect(m_run, &QPushButton::clicked, this, &PLXFusionWindow::run);
    updateStructures();
    updateEnabling();
    resize(withViewer ? 1000 : 420, 680);
}

PLXFusionWindow::~PLXFusionWindow()
{
    if (m_canvas)
        m_canvas->removePainters();
}

std::vector<PLXStack*> PLXFusionWindow::getStacks() const
{
    return m_stacks->getCheckedStacks();
}

void PLXFusionWindow::setStackChecked(PLXStack& stack, bool checked)
{
    m_stacks->setStackChecked(stack, checked);
}

void PLXFusionWindow::updateStructures()
{
    // Keep what the user set for the structures still listed.
    std::map<QString, std::tuple<bool, int, int>> kept;
    for (int r = 0; r < m_structures->rowCount(); ++r)
        kept[m_structures->item(r, 0)->text()] = {
            m_structures->item(r, 1)->checkState() == Qt::Checked,
            static_cast<QSpinBox*>(m_structures->cellWidget(r, 2))->value(),
            static_cast<QSpinBox*>(m_structures->cellWidget(r, 3))->value()};
    const bool fresh = m_structures->rowCount() == 0;

    // The outlined structures of the checked stacks; the largest one in
    // vertices is the reference of a new form.
    std::set<std::string> names;
    std::map<std::string, long long> sizes;
    for (const PLXStack* stack : getStacks())
        for (int m = 0; m < stack->getNumModels(); ++m) {
            const Model& model = *stack->getModel(m);
            if (model.getGeometry() == MPrimitive::Polypoint)
                continue;
            names.insert(model.getName());
            for (int i = 0; i < model.getNumItems(); ++i)
                sizes[model.getName()] += model.getItem(i)->getSize();
        }
    std::string largest;
    for (const auto& [name, size] : sizes)
        if (largest.empty() || size > sizes[largest])
            largest = name;

    m_structures->setRowCount(0);
    for (const std::string& n : names) {
        const QString name = QString::fromStdString(n);
        const int r = m_structures->rowCount();
        m_structures->insertRow(r);
        auto* nameItem = new QTableWidgetItem(name);
        nameItem->setFlags(Qt::ItemIsEnabled);
        m_structures->setItem(r, 0, nameItem);
        auto* reference = new QTableWidgetItem;
        reference->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        bool isReference = fresh && n == largest;
        int levels = defaultLevels, columns = defaultColumns;
        if (const auto k = kept.find(name); k != kept.end())
            std::tie(isReference, levels, columns) = k->second;
        reference->setCheckState(isReference ? Qt::Checked : Qt::Unchecked);
        m_structures->setItem(r, 1, reference);
        m_structures->setCellWidget(r, 2, sizeBox(levels));
        m_structures->setCellWidget(r, 3, sizeBox(columns));
    }
    m_structures->resizeColumnsToContents();
    // The size fields, made after the rest of the window, come right after
    // the table and before the strategy, row by row.
    QWidget* previous = m_structures;
    for (int r = 0; r < m_structures->rowCount(); ++r)
        for (int c : {2, 3})
            if (QWidget* field = m_structures->cellWidget(r, c)) {
                setTabOrder(previous, field);
                previous = field;
            }
    setTabOrder(previous, m_alignment);

    const QString chosen = m_template->currentText();
    m_template->clear();
    for (const PLXStack* stack : getStacks())
        m_template->addItem(QString::fromStdString(stack->getName()));
    if (m_template->findText(chosen) >= 0)
        m_template->setCurrentText(chosen);
}

void PLXFusionWindow::setReference(const QString& structure, bool reference, int height, int width)
{
    for (int r = 0; r < m_structures->rowCount(); ++r)
        if (m_structures->item(r, 0)->text() == structure) {
            m_structures->item(r, 1)->setCheckState(reference ? Qt::Checked : Qt::Unchecked);
            if (height > 0)
                static_cast<QSpinBox*>(m_structures->cellWidget(r, 2))->setValue(height);
            if (width > 0)
                static_cast<QSpinBox*>(m_structures->cellWidget(r, 3))->setValue(width);
        }
}

void PLXFusionWindow::updateEnabling()
{
    m_method->setEnabled(m_registration->isChecked());
    m_template->setEnabled(m_registration->isChecked() && m_method->currentIndex() == 1);
    m_warpingModel->setEnabled(m_warping->isChecked());
    m_degree->setEnabled(m_warping->isChecked() && m_warpingModel->currentIndex() == 0);
    m_run->setEnabled(getStacks().size() >= 2 && !m_worker);
}

FusionConfig<float> PLXFusionWindow::getConfig() const
{
    FusionConfig<float> config;
    config.name = m_name->text().toStdString();
    for (const PLXStack* stack : getStacks())
        config.stacks.push_back(stack);
    for (int r = 0; r < m_structures->rowCount(); ++r) {
        FusionSurfaceStructure<float> s;
        s.name = m_structures->item(r, 0)->text().toStdString();
        s.reference = m_structures->item(r, 1)->checkState() == Qt::Checked;
        const int levels = static_cast<QSpinBox*>(m_structures->cellWidget(r, 2))->value();
        const int columns = static_cast<QSpinBox*>(m_structures->cellWidget(r, 3))->value();
        s.resamplingHeight = levels > 0 ? levels : -1;
        s.resamplingWidth = columns > 0 ? columns : -1;
        // Only the references are resampled to the user's sizes; the other
        // structures keep their models' own mesh sizes.
        if (s.reference)
            config.surfaceStructures.push_back(s);
    }
    FusionStrategy& strategy = config.strategy;
    strategy.alignment = m_alignment->isChecked();
    strategy.registration = m_registration->isChecked();
    strategy.registrationAlgorithm =
        m_method->currentIndex() == 1 ? FusionRegistrationAlgorithm::Pairwise : FusionRegistrationAlgorithm::Global;
    strategy.referenceStack = m_template->currentText().toStdString();
    strategy.warping = m_warping->isChecked();
    strategy.warpingModel =
        m_warpingModel->currentIndex() == 1 ? FusionWarpingModel::ThinPlateSplines : FusionWarpingModel::Polynomials;
    strategy.polynomialDegree = static_cast<unsigned int>(m_degree->value());
    return config;
}

void PLXFusionWindow::run()
{
    if (m_worker)
        return;
    const FusionConfig<float> config = getConfig();
    if (config.stacks.size() < 2)
        return;
    if (config.surfaceStructures.empty() && (config.strategy.alignment || config.strategy.registration ||
                                             config.strategy.warping)) {
        Dialogs::warning(this, tr("Fusion"), tr("Choose at least one reference structure."));
        return;
    }
    auto fusion = std::make_unique<Fusion<float>>();
    fusion->setConfig(config);
    bool completed = false;
    PLXWorker worker;
    m_worker = &worker;
    updateEnabling();
    try {
        PLXProgressDialog dialog(tr("Fusion"), this);
        worker.getProgress().addMonitor(dialog);
        emit started();
        Fusion<float>* f = fusion.get();
        worker.run(
            [f, &completed](PLXProgressProxy& progress) {
                f->addMonitor(progress);
                try {
                    completed = f->run();
                } catch (...) {
                    f->removeMonitor(progress);
                    throw;
                }
                f->removeMonitor(progress);
            },
            &dialog);
        worker.getProgress().removeMonitor(dialog);
        completed = completed && !worker.isCanceled();
    } catch (const Exception& e) {
        m_worker = nullptr;
        updateEnabling();
        Dialogs::warning(this, tr("Fusion"),
                         tr("The fusion failed:\n%1").arg(QString::fromStdString(e.getWhat())));
        return;
    }
    m_worker = nullptr;
    updateEnabling();
    if (!completed) {
        m_status->setText(tr("The fusion was cancelled."));
        return;
    }
    clearFusion();
    m_fusion = std::move(fusion);
    const std::vector<PLXStack*> fused = getStacks();
    m_fusedStacks.assign(fused.begin(), fused.end());
    showFusion();
    showSummary();
}

void PLXFusionWindow::cancel()
{
    if (m_worker)
        m_worker->cancel();
}

void PLXFusionWindow::showSummary()
{
    QDialog dialog(this);
    dialog.setWindowTitle(tr("Spatial normalization summary"));
    auto* text = new QTextBrowser;
    text->setObjectName(QStringLiteral("log"));
    text->setHtml(QString::fromStdString(m_fusion->getLog()));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog.resize(520, 480);
    Dialogs::exec(dialog);
}

void PLXFusionWindow::clearFusion()
{
    if (m_canvas) {
        m_canvas->removePainters();
        m_canvas->updateBoundingBox();
        m_canvas->update();
    }
    m_painters.clear();
    m_fusion.reset();
    m_fusedStacks.clear();
    m_status->clear();
}

void PLXFusionWindow::showFusion()
{
    const auto& sets = m_fusion->getShapeSets();
    m_status->setText(tr("%1 specimens in one frame.").arg(sets.size()));
    if (!m_canvas)
        return;
    const auto addShape = [this](Shape<float>& shape, const Vector<int>& color, float alpha) {
        ShapePainterAttributesGL attributes;
        attributes.setColor(color);
        std::unique_ptr<ShapePainterGL<float>> painter;
        if (dynamic_cast<QuadMesh<float>*>(&shape)) {
            painter = std::make_unique<QuadMeshPainterGL<float>>();
            // Specimens as the edges of their meshes, the mean as a surface.
            attributes.setDisplayMode(alpha < 255.0f ? DisplayModeMesh : DisplayModeSurface);
            attributes.setBeginCapFlag(true);
            attributes.setEndCapFlag(true);
        } else if (dynamic_cast<VertexStack<float>*>(&shape)) {
            painter = std::make_unique<VertexStackPainterGL<float>>();
            attributes.setDisplayMode(DisplayModeSymbol);
            attributes.setVertexSymbol(VertexSymbolSphere);
            attributes.setSymbolSize(2.0f);
        } else {
            return;
        }
        painter->setShape(shape);
        painter->setAttributes(attributes);
        m_canvas->addPainter(painter.get());
        m_painters.push_back(std::move(painter));
    };
    for (std::size_t s = 0; s < sets.size(); ++s)
        for (int i = 0; i < sets[s]->getNumShapes(); ++i)
            if (Shape<float>* shape = (*sets[s])[i])
                addShape(*shape, flagColor(static_cast<int>(s) + 2), 90.0f);
    if (ShapeSet<float>* mean = m_fusion->getMeanShapeSet())
        for (int i = 0; i < mean->getNumShapes(); ++i)
            if (Shape<float>* shape = (*mean)[i])
                addShape(*shape, Vector<int>{240, 240, 240}, 255.0f);
    m_canvas->updateBoundingBox();
    m_canvas->update();
}

void PLXFusionWindow::stackNameEvent(PLXStackNameEvent&)
{
    updateStructures();
}

void PLXFusionWindow::modelCreateEvent(PLXModelCreateEvent&)
{
    QTimer::singleShot(0, this, &PLXFusionWindow::updateStructures);
}

void PLXFusionWindow::modelDeleteEvent(PLXModelDeleteEvent&)
{
    // A deletion is announced while the model is still there.
    QTimer::singleShot(0, this, &PLXFusionWindow::updateStructures);
}
