#include "app/tools/plxanalysiswindow.h"

#include "app/plxevent.h"
#include "app/plxstack.h"
#include "app/plxworker.h"
#include "app/tools/plxtablewidget.h"
#include "gl/dialogs.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/morphometrytable.h"
#include "stack/stackslice.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <QFileInfo>
#include <algorithm>
#include <vector>

namespace {

std::vector<PLXAnalysisWindow*>& windows()
{
    static std::vector<PLXAnalysisWindow*> list;
    return list;
}

const MPrimitive geometries[] = {MPrimitive::Polygon, MPrimitive::Polyline, MPrimitive::Polypoint};
const ModelMorphometry::Surface surfaces[] = {ModelMorphometry::Surface::MatchedStarts,
                                              ModelMorphometry::Surface::Literal};

QWidget* tableBox(const QString& title, PLXTableWidget* table, QLabel** label = nullptr)
{
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    if (label) {
        *label = new QLabel;
        layout->addWidget(*label);
    }
    layout->addWidget(table);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QAction* action : {table->getCopyAction(), table->getExportAction()}) {
        auto* button = new QPushButton(action->text());
        QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
        QObject::connect(action, &QAction::changed, button, [button, action] { button->setEnabled(action->isEnabled()); });
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    return box;
}

} // namespace

PLXAnalysisWindow* PLXAnalysisWindow::find(const PLXStack& stack)
{
    for (PLXAnalysisWindow* w : windows())
        if (w->m_stack == &stack)
            return w;
    return nullptr;
}

PLXAnalysisWindow* PLXAnalysisWindow::open(PLXStack& stack)
{
    PLXAnalysisWindow* window = find(stack);
    if (!window) {
        window = new PLXAnalysisWindow(stack);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        window->refresh();
        window->fitColumns();
    } else {
        window->show();
    }
    window->raise();
    window->activateWindow();
    return window;
}

PLXAnalysisWindow::PLXAnalysisWindow(PLXStack& stack, QWidget* parent) : QWidget(parent, Qt::Window), m_stack(&stack)
{
    windows().push_back(this);
    m_models = new PLXTableWidget;
    m_items = new PLXTableWidget;
    m_geometry = new QComboBox;
    m_geometry->addItems({tr("Polygons"), tr("Polylines"), tr("Point sets")});

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Geometry:")));
    top->addWidget(m_geometry);
    m_triangulation = new QComboBox;
    m_triangulation->addItems({tr("Matched starts"), tr("Literal")});
    m_triangulation->setToolTip(tr("Surface areas from outlines started where they match level to level, so that "
                                   "they do not depend on where each outline was drawn from, or joined as drawn"));
    top->addWidget(new QLabel(tr("Triangulation:")));
    top->addWidget(m_triangulation);
    top->addStretch();
    auto* refreshButton = new QPushButton(tr("Measure again"));
    top->addWidget(refreshButton);

    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(tableBox(tr("Models"), m_models));
    splitter->addWidget(tableBox(tr("Items"), m_items, &m_itemsLabel));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);

    connect(m_geometry, &QComboBox::currentIndexChanged, this, [this] {
        m_modelName.clear();
        refresh();
    });
    connect(m_triangulation, &QComboBox::currentIndexChanged, this, &PLXAnalysisWindow::refresh);
    connect(refreshButton, &QPushButton::clicked, this, &PLXAnalysisWindow::refresh);
    connect(m_models, &QTableWidget::itemSelectionChanged, this, &PLXAnalysisWindow::modelRowChosen);
    const QStringList files{stack.getFilename()};
    m_models->setProtectedFiles(files);
    m_items->setProtectedFiles(files);
    updateTitle();
    resize(760, 560);
}

PLXAnalysisWindow::~PLXAnalysisWindow()
{
    std::erase(windows(), this);
}

MPrimitive PLXAnalysisWindow::getGeometry() const
{
    return geometries[std::max(0, m_geometry->currentIndex())];
}

void PLXAnalysisWindow::setGeometry(MPrimitive geometry)
{
    for (int i = 0; i < 3; ++i)
        if (geometries[i] == geometry)
            m_geometry->setCurrentIndex(i);
}

ModelMorphometry::Surface PLXAnalysisWindow::getSurface() const
{
    return surfaces[std::max(0, m_triangulation->currentIndex())];
}

void PLXAnalysisWindow::setSurface(ModelMorphometry::Surface surface)
{
    m_triangulation->setCurrentIndex(surface == ModelMorphometry::Surface::Literal ? 1 : 0);
}

void PLXAnalysisWindow::setModelName(const std::string& name)
{
    m_modelName = name;
    refreshItems();
}

void PLXAnalysisWindow::updateTitle()
{
    setWindowTitle(tr("Analysis - %1").arg(QString::fromStdString(m_stack->getName())));
    const QString stem = QFileInfo(m_stack->getFilename()).completeBaseName();
    m_models->setExportName(stem.isEmpty() ? QStringLiteral("models") : stem + QStringLiteral("-models"));
}

void PLXAnalysisWindow::fitColumns()
{
    // The width the tables lack to show all their columns.
    int lacking = 0;
    for (const PLXTableWidget* table : {m_models, m_items}) {
        // What the columns need, not what they show (they share the width
        // left over).
        const QHeaderView* header = table->horizontalHeader();
        int columns = 0;
        for (int c = 0; c < table->columnCount(); ++c)
            columns += std::max(static_cast<const QAbstractItemView*>(table)->sizeHintForColumn(c),
                                header->sectionSizeHint(c));
        const int needed = columns +
                           (table->verticalHeader()->isVisible() ? table->verticalHeader()->width() : 0) +
                           2 * table->frameWidth() + table->verticalScrollBar()->sizeHint().width();
        lacking = std::max(lacking, needed - table->width());
    }
    if (lacking <= 0)
        return;
    int width = this->width() + lacking;
    if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        width = std::min(width, screen->availableGeometry().width() - (frameGeometry().width() - this->width()));
    resize(width, height());
    // Keep the window on the screen.
    if (const QScreen* screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        if (frameGeometry().right() > available.right())
            move(std::max(available.left(), available.right() - frameGeometry().width()), y());
    }
}

void PLXAnalysisWindow::refresh()
{
    if (m_refreshing) {
        m_stale = true;
        return;
    }
    m_refreshing = true;
    m_stale = false;
    const MPrimitive geometry = getGeometry();
    const ModelMorphometry::Surface surface = getSurface();
    MorphometryTable table;
    try {
        PLXWorker worker;
        const Stack& stack = *m_stack;
        worker.run([&](PLXProgressProxy&) {
            table = MorphometryTable::modelTable(stack, geometry, surface);
        });
    } catch (const Exception& e) {
        Dialogs::warning(this, tr("Analysis"),
                         tr("The models could not be measured:\n%1").arg(QString::fromStdString(e.getWhat())));
    }
    m_models->blockSignals(true);
    m_models->setTable(table);
    m_models->blockSignals(false);
    // Keep the chosen model when it is still listed.
    bool listed = false;
    for (int r = 0; r < m_models->rowCount(); ++r)
        if (m_models->item(r, 0)->text().toStdString() == m_modelName) {
            m_models->blockSignals(true);
            m_models->selectRow(r);
            m_models->blockSignals(false);
            listed = true;
        }
    if (!listed)
        m_modelName.clear();
    refreshItems();
    m_refreshing = false;
    if (m_stale)
        QTimer::singleShot(0, this, &PLXAnalysisWindow::refresh);
}

void PLXAnalysisWindow::refreshItems()
{
    MorphometryTable table;
    const int index = m_modelName.empty() ? -1 : m_stack->findModel(m_modelName);
    if (index >= 0) {
        try {
            table = MorphometryTable::itemTable(*m_stack, *m_stack->getModel(index));
        } catch (const Exception& e) {
            Dialogs::warning(this, tr("Analysis"),
                             tr("The items could not be measured:\n%1").arg(QString::fromStdString(e.getWhat())));
        }
        m_itemsLabel->setText(tr("Items of %1").arg(QString::fromStdString(m_modelName)));
        const QString stem = QFileInfo(m_stack->getFilename()).completeBaseName();
        m_items->setExportName((stem.isEmpty() ? QString() : stem + QLatin1Char('-')) +
                               QString::fromStdString(m_modelName));
    } else {
        m_itemsLabel->setText(tr("Choose a model to list its items."));
    }
    m_items->setTable(table);
}

void PLXAnalysisWindow::modelRowChosen()
{
    const QList<QTableWidgetItem*> chosen = m_models->selectedItems();
    if (chosen.isEmpty())
        return;
    const QTableWidgetItem* name = m_models->item(chosen.front()->row(), 0);
    if (name && name->text().toStdString() != m_modelName)
        setModelName(name->text().toStdString());
}

void PLXAnalysisWindow::stackChanged()
{
    if (eventBatchEnabled()) {
        m_stale = true;
        return;
    }
    if (!m_stale) {
        m_stale = true;
        QTimer::singleShot(0, this, [this] {
            if (m_stale)
                refresh();
        });
    }
}

void PLXAnalysisWindow::atEventBatchEnd()
{
    if (m_stale) {
        m_stale = false;
        stackChanged();
    }
}

void PLXAnalysisWindow::stackCloseEvent(PLXStackCloseEvent& e)
{
    if (&e.getStack() != m_stack)
        return;
    m_stale = false;
    hide();
    deleteLater();
}

void PLXAnalysisWindow::stackNameEvent(PLXStackNameEvent& e)
{
    if (&e.getStack() == m_stack)
        updateTitle();
}

#define PLEXAN_STACK_CHANGE(handler, Event)                                                                    \
    void PLXAnalysisWindow::handler(Event& e)                                                                  \
    {                                                                                                          \
        if (&e.getStack() == m_stack)                                                                          \
            stackChanged();                                                                                    \
    }
PLEXAN_STACK_CHANGE(stackRegistrationEvent, PLXStackRegistrationEvent)
PLEXAN_STACK_CHANGE(stackSliceSpacingEvent, PLXStackSliceSpacingEvent)
PLEXAN_STACK_CHANGE(stackImageCalibrationEvent, PLXStackImageCalibrationEvent)
PLEXAN_STACK_CHANGE(stackModifyEvent, PLXStackModifyEvent)
#undef PLEXAN_STACK_CHANGE

#define PLEXAN_SLICE_CHANGE(handler, Event)                                                                    \
    void PLXAnalysisWindow::handler(Event& e)                                                                  \
    {                                                                                                          \
        if (e.getSlice().getStack() == m_stack)                                                                \
            stackChanged();                                                                                    \
    }
PLEXAN_SLICE_CHANGE(sliceSpacingEvent, PLXSliceSpacingEvent)
PLEXAN_SLICE_CHANGE(sliceImageCalibrationEvent, PLXSliceImageCalibrationEvent)
#undef PLEXAN_SLICE_CHANGE

#define PLEXAN_ITEM_CHANGE(handler, Event)                                                                     \
    void PLXAnalysisWindow::handler(Event& e)                                                                  \
    {                                                                                                          \
        const StackSlice* slice = e.getItem().getSlice();                                                      \
        if (!slice || slice->getStack() == m_stack)                                                            \
            stackChanged();                                                                                    \
    }
PLEXAN_ITEM_CHANGE(modelItemCreateEvent, PLXModelItemCreateEvent)
PLEXAN_ITEM_CHANGE(modelItemDeleteEvent, PLXModelItemDeleteEvent)
PLEXAN_ITEM_CHANGE(modelItemVertexEvent, PLXModelItemVertexEvent)
PLEXAN_ITEM_CHANGE(modelItemConvertEvent, PLXModelItemConvertEvent)
#undef PLEXAN_ITEM_CHANGE

void PLXAnalysisWindow::modelCreateEvent(PLXModelCreateEvent& e)
{
    if (m_stack->findModel(&e.getModel()) >= 0)
        stackChanged();
}

void PLXAnalysisWindow::modelDeleteEvent(PLXModelDeleteEvent&)
{
    // The model has left its stack already: measure again to be sure.
    stackChanged();
}

void PLXAnalysisWindow::modelPropertiesEvent(PLXModelPropertiesEvent& e)
{
    if (m_stack->findModel(&e.getModel()) >= 0)
        stackChanged();
}

void PLXAnalysisWindow::processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction&)
{
    stackChanged();
}

