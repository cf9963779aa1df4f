#include "app/tools/plxrenderingmediator.h"

#include "app/plxactionhistory.h"
#include "app/plxevent.h"
#include "app/plxposeactions.h"
#include "app/plxprogressdialog.h"
#include "app/plxsettingskeys.h"
#include "app/plxsliceactions.h"
#include "app/plxstack.h"
#include "app/plxstackserver.h"
#include "app/plxworker.h"
#include "app/tools/plxcamerapath.h"
#include "app/tools/plxframewriter.h"
#include "app/tools/plxmoviedialog.h"
#include "app/tools/plxrenderingpaintergl.h"
#include "app/tools/plxvideoencoder.h"
#include "app/tools/plxvideorecorder.h"
#include "gl/dialogs.h"
#include "gl/viewercanvasgl.h"
#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/pose.h"
#include "stack/stackexporter.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>

namespace {

// Makes the canvas's GL context current for the scope, when it has one:
// display lists are freed in the context that made them.
class ContextScope {
public:
    explicit ContextScope(ViewerCanvasGL* canvas) : m_canvas(canvas && canvas->context() ? canvas : nullptr)
    {
        if (m_canvas)
            m_canvas->makeCurrent();
    }
    ~ContextScope()
    {
        if (m_canvas)
            m_canvas->doneCurrent();
    }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

private:
    ViewerCanvasGL* m_canvas;
};

} // namespace

PLXRenderingMediator::PLXRenderingMediator(QObject* parent) : ViewerMediator(parent)
{
    createRenderingActions();
    rebuildPoseMenus();
    updateStackActions(PLXStackServer::stackServer.getNumStacks());
}

PLXRenderingMediator::~PLXRenderingMediator()
{
    if (m_recorder)
        delete m_recorder.data();
    deletePainters();
}

void PLXRenderingMediator::createRenderingActions()
{
    auto action = [this](const QString& text, auto slot) {
        auto* a = new QAction(text, this);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    m_export = action(tr("Export to STL..."), &PLXRenderingMediator::export2AsciiSTL);
    m_rebuild = action(tr("Rebuild"), [this] { refresh(); });
    m_rebuild->setEnabled(false);
    m_export->setToolTip(tr("Write the stack's surface models as ASCII STL files"));
    m_export->setStatusTip(m_export->toolTip());
    m_editModels = action(tr("Edit models..."), &PLXRenderingMediator::editModels);
    m_animationTimeout = action(tr("Animation timeout"), &PLXRenderingMediator::setAnimationTimeout);
    m_animationAngle = action(tr("Animation angle"), &PLXRenderingMediator::setAnimationAngle);
    m_recordPose = action(tr("Record..."), &PLXRenderingMediator::recordPose);
    m_reset = action(tr("Reset transformations"), &ViewerMediator::resetPose);
    m_randomRotation = action(tr("Start/stop random rotation"), &ViewerMediator::toggleRandomMotion);
    m_videoStart = action(tr("Video start"), &ViewerMediator::videoStart);
    m_previousStack = action(tr("Previous stack"), &PLXRenderingMediator::setPreviousStack);
    m_nextStack = action(tr("Next stack"), &PLXRenderingMediator::setNextStack);
    m_turntable = action(tr("Turntable movie..."), &PLXRenderingMediator::turntableMovie);
    m_poseFlight = action(tr("Pose flight movie..."), &PLXRenderingMediator::poseFlightMovie);
    m_selectPose = std::make_unique<QMenu>(tr("Select"));
    m_deletePose = std::make_unique<QMenu>(tr("Delete"));
}

// Showing a stack ------------------------------------------------------------------------

bool PLXRenderingMediator::setStack(PLXStack& stack)
{
    if (&stack != m_stack) {
        // Built aside: a cancel leaves the stack shown and its painters.
        StackReconstruction<float> reconstruction(stack);
        std::vector<std::unique_ptr<PLXRenderingPainterGL>> painters;
        QStringList problems;
        if (!buildPainters(stack, reconstruction, painters, problems))
            return false;
        deletePainters();
        m_stack = &stack;
        m_reconstruction.setStack(stack);
        m_needsRefresh = false;
        m_painters = std::move(painters);
        setOutOfDate(false);
        rebuildPoseMenus();
        reportProblems(problems);
    }
    updateTitle();
    updateStackActions(PLXStackServer::stackServer.getNumStacks());
    showPainters(true);
    emit stackShown(m_stack);
    return true;
}

bool PLXRenderingMediator::refresh()
{
    m_needsRefresh = false;
    if (!m_stack)
        return true;
    if (m_building) {
        // A change arrived while the painters are being built: they are
        // rebuilt again once that build is over.
        m_needsRefresh = true;
        return false;
    }
    StackReconstruction<float> reconstruction(*m_stack);
    std::vector<std::unique_ptr<PLXRenderingPainterGL>> painters;
    QStringList problems;
    if (!buildPainters(*m_stack, reconstruction, painters, problems)) {
        // The view keeps what it showed, marked out of date; the next
        // change of the stack (or the end of a batch) rebuilds it.
        m_needsRefresh = true;
        setOutOfDate(true);
        return false;
    }
    if (m_needsRefresh)
        return refresh();
    deletePainters();
    m_reconstruction.computeMaps();
    m_painters = std::move(painters);
    setOutOfDate(false);
    reportProblems(problems);
    showPainters(false);
    return true;
}

void PLXRenderingMediator::addModel(Model& model)
{
    if (!m_stack || findPainter(&model) || m_stack->findModel(&model) < 0)
        return;
    std::vector<std::unique_ptr<PLXRenderingPainterGL>> built;
    QStringList problems;
    if (!buildPainterOf(model, built, problems))
        return;
    reportProblems(problems);
    if (built.empty() || findPainter(&model))
        return;
    m_painters.push_back(std::move(built.front()));
    // In the stack's model order.
    std::stable_sort(m_painters.begin(), m_painters.end(), [this](const auto& a, const auto& b) {
        return m_stack->findModel(a->getModel()) < m_stack->findModel(b->getModel());
    });
    showPainters(false);
}

void PLXRenderingMediator::deletePainters()
{
    if (getCanvas())
        getCanvas()->removePainters();
    ContextScope context(getCanvas());
    for (const auto& painter : m_painters)
        painter->glClear();
    m_painters.clear();
}

PLXRenderingPainterGL* PLXRenderingMediator::findPainter(const Model* model) const
{
    for (const auto& painter : m_painters)
        if (painter->getModel() == model)
            return painter.get();
    return nullptr;
}

std::unique_ptr<PLXRenderingPainterGL> PLXRenderingMediator::buildPainter(const Model& model,
                                                                          const StackReconstruction<float>& reconstruction,
                                                                          QStringList& problems)
{
    auto painter = std::make_unique<PLXRenderingPainterGL>();
    try {
        painter->setModel(model, reconstruction);
    } catch (const Exception& e) {
        problems << QStringLiteral("%1: %2").arg(QString::fromStdString(model.getName()),
                                                 QString::fromStdString(e.getWhat()));
        return nullptr;
    }
    return painter;
}

bool PLXRenderingMediator::buildPainterOf(const Model& model,
                                          std::vector<std::unique_ptr<PLXRenderingPainterGL>>& built,
                                          QStringList& problems)
{
    if (m_building) {
        // The build under way may have read the model before it changed.
        m_needsRefresh = true;
        return false;
    }
    if (!buildPainters({&model}, m_reconstruction, built, problems, nullptr))
        return false;
    if (m_needsRefresh && !eventBatchEnabled()) {
        // Another change came in meanwhile: everything is rebuilt.
        refresh();
        return false;
    }
    return true;
}

QWidget* PLXRenderingMediator::dialogParent() const
{
    if (m_window && !m_window->isVisible() && m_window->parentWidget())
        return m_window->parentWidget();
    return m_window;
}

bool PLXRenderingMediator::buildPainters(const PLXStack& stack, const StackReconstruction<float>& reconstruction,
                                         std::vector<std::unique_ptr<PLXRenderingPainterGL>>& out,
                                         QStringList& problems)
{
    std::vector<const Model*> models;
    for (int i = 0; i < stack.getNumModels(); ++i)
        models.push_back(stack.getModel(i));
    PLXProgressDialog dialog(tr("Reconstructing"), dialogParent());
    dialog.setLabelText(tr("Building the models of %1...").arg(QString::fromStdString(stack.getName())));
    return buildPainters(models, reconstruction, out, problems, &dialog);
}

bool PLXRenderingMediator::buildPainters(const std::vector<const Model*>& models,
                                         const StackReconstruction<float>& reconstruction,
                                         std::vector<std::unique_ptr<PLXRenderingPainterGL>>& out,
                                         QStringList& problems, PLXProgressDialog* dialog)
{
    // The meshes are made in a worker; the GL side (display lists) is made
    // at the first paint. The document is only read meanwhile: the dialog is
    // modal, and without one user input waits until the worker is done.
    m_building = true;
    std::vector<std::unique_ptr<PLXRenderingPainterGL>> painters;
    QStringList found;
    PLXWorker worker;
    if (dialog)
        worker.getProgress().addMonitor(*dialog);
    try {
        worker.run(
            [&](PLXProgressProxy& progress) {
                const auto n = static_cast<unsigned int>(models.size());
                for (unsigned int i = 0; i < n; ++i) {
                    progress.notifyProgressed(i, n);
                    if (progress.isCanceled())
                        return;
                    if (auto painter = buildPainter(*models[i], reconstruction, found))
                        painters.push_back(std::move(painter));
                }
                progress.notifyProgressed(n, n);
            },
            dialog);
    } catch (...) {
        if (dialog)
            worker.getProgress().removeMonitor(*dialog);
        m_building = false;
        throw;
    }
    if (dialog)
        worker.getProgress().removeMonitor(*dialog);
    m_building = false;
    if (worker.isCanceled())
        return false;
    out = std::move(painters);
    problems << found;
    return true;
}

void PLXRenderingMediator::rebuildPainter(const Model* model)
{
    if (!findPainter(model))
        return;
    std::vector<std::unique_ptr<PLXRenderingPainterGL>> built;
    QStringList problems;
    if (!buildPainterOf(*model, built, problems))
        return;
    // The painter may have gone while the worker ran.
    auto found = std::find_if(m_painters.begin(), m_painters.end(),
                              [model](const auto& painter) { return painter->getModel() == model; });
    if (found == m_painters.end())
        return;
    if (getCanvas())
        getCanvas()->removePainter(found->get());
    {
        ContextScope context(getCanvas());
        (*found)->glClear();
    }
    if (built.empty()) {
        // The model cannot be shown any more (its rendering mode is refused
        // before any mesh is made): its painter stays, empty, in its place.
        try {
            (*found)->setModel(*model, m_reconstruction);
        } catch (const Exception&) {
        }
    } else {
        *found = std::move(built.front());
    }
    reportProblems(problems);
    showPainters(false);
}

void PLXRenderingMediator::removePainter(const Model* model)
{
    const auto found = std::find_if(m_painters.begin(), m_painters.end(),
                                    [model](const auto& painter) { return painter->getModel() == model; });
    if (found == m_painters.end())
        return;
    if (getCanvas())
        getCanvas()->removePainter(found->get());
    {
        ContextScope context(getCanvas());
        (*found)->glClear();
    }
    m_painters.erase(found);
    showPainters(false);
}

void PLXRenderingMediator::showPainters(bool resetView)
{
    if (ViewerCanvasGL* canvas = getCanvas()) {
        QList<PainterGL<float>*> list;
        for (const auto& painter : m_painters)
            list.append(painter.get());
        canvas->setPainters(list);
        canvas->updateBoundingBox();
        if (resetView)
            resetPose();
        canvas->update();
    }
    emit paintersChanged();
}

void PLXRenderingMediator::reportProblems(const QStringList& problems)
{
    if (!problems.isEmpty())
        Dialogs::warning(m_window, tr("Rendering"),
                         tr("Some models cannot be shown:\n\n") + problems.join(QLatin1Char('\n')));
}

void PLXRenderingMediator::updateTitle()
{
    if (m_window && m_stack)
        m_window->setWindowTitle(QString::fromStdString(m_stack->getName()));
}

bool PLXRenderingMediator::shows(const Model* model) const
{
    return model && findPainter(model) != nullptr;
}

// Events --------------------------------------------------------------------------------

void PLXRenderingMediator::stackCloseEvent(PLXStackCloseEvent& e)
{
    if (&e.getStack() != m_stack) {
        updateStackActions(PLXStackServer::stackServer.getNumStacks() - 1);
        return;
    }
    if (m_recorder)
        m_recorder->reject();
    deletePainters();
    m_stack = nullptr;
    m_reconstruction = StackReconstruction<float>();
    m_needsRefresh = false;
    setOutOfDate(false);
    rebuildPoseMenus();
    if (getCanvas())
        getCanvas()->update();
    emit stackClosed();
}

void PLXRenderingMediator::stackOpenEvent(PLXStackOpenEvent&)
{
    updateStackActions(PLXStackServer::stackServer.getNumStacks());
}

void PLXRenderingMediator::stackNameEvent(PLXStackNameEvent& e)
{
    if (&e.getStack() == m_stack)
        updateTitle();
}

void PLXRenderingMediator::stackGeometryChanged(const PLXStack& stack)
{
    if (&stack != m_stack)
        return;
    if (eventBatchEnabled())
        m_needsRefresh = true;
    else
        refresh();
}

void PLXRenderingMediator::stackRegistrationEvent(PLXStackRegistrationEvent& e)
{
    stackGeometryChanged(e.getStack());
}

void PLXRenderingMediator::stackSliceSpacingEvent(PLXStackSliceSpacingEvent& e)
{
    stackGeometryChanged(e.getStack());
}

void PLXRenderingMediator::stackImageCalibrationEvent(PLXStackImageCalibrationEvent& e)
{
    stackGeometryChanged(e.getStack());
}

void PLXRenderingMediator::processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action)
{
    if (m_stack && &action.getStack() == static_cast<Stack*>(m_stack))
        refresh();
}

void PLXRenderingMediator::modelCreateEvent(PLXModelCreateEvent& e)
{
    Model& model = e.getModel();
    if (!m_stack || m_stack->findModel(&model) < 0 || findPainter(&model))
        return;
    if (eventBatchEnabled())
        m_needsRefresh = true;
    else
        addModel(model);
}

void PLXRenderingMediator::modelDeleteEvent(PLXModelDeleteEvent& e)
{
    if (!shows(&e.getModel()))
        return;
    if (eventBatchEnabled())
        m_needsRefresh = true;
    else
        removePainter(&e.getModel());
}

void PLXRenderingMediator::modelPropertiesEvent(PLXModelPropertiesEvent& e)
{
    if (!shows(&e.getModel()))
        return;
    if (eventBatchEnabled())
        m_needsRefresh = true;
    else
        rebuildPainter(&e.getModel());
}

// An item's model, when it is shown here: the item names its model even
// after it was taken out of the model's list (a deletion).
#define PLEXAN_ITEM_EVENT(handler, Event)                                                                      \
    void PLXRenderingMediator::handler(Event& e)                                                               \
    {                                                                                                          \
        const Model* model = e.getItem().getModel();                                                           \
        if (!shows(model))                                                                                     \
            return;                                                                                            \
        if (eventBatchEnabled())                                                                               \
            m_needsRefresh = true;                                                                             \
        else                                                                                                   \
            rebuildPainter(model);                                                                             \
    }
PLEXAN_ITEM_EVENT(modelItemCreateEvent, PLXModelItemCreateEvent)
PLEXAN_ITEM_EVENT(modelItemDeleteEvent, PLXModelItemDeleteEvent)
PLEXAN_ITEM_EVENT(modelItemVertexEvent, PLXModelItemVertexEvent)
PLEXAN_ITEM_EVENT(modelItemAttributeEvent, PLXModelItemAttributeEvent)
#undef PLEXAN_ITEM_EVENT

void PLXRenderingMediator::modelItemConvertEvent(PLXModelItemConvertEvent& e)
{
    const Model* source = e.getSourceModel();
    const Model* destination = e.getDestinationModel();
    if (!shows(source) && !shows(destination))
        return;
    if (eventBatchEnabled()) {
        m_needsRefresh = true;
        return;
    }
    if (shows(source))
        rebuildPainter(source);
    if (shows(destination))
        rebuildPainter(destination);
}

void PLXRenderingMediator::poseCreateEvent(PLXPoseCreateEvent& e)
{
    if (m_stack && e.getPose().getStack() == m_stack)
        rebuildPoseMenus();
}

void PLXRenderingMediator::poseDeleteEvent(PLXPoseDeleteEvent& e)
{
    if (m_stack && e.getPose().getStack() == m_stack)
        rebuildPoseMenus();
}

void PLXRenderingMediator::atEventBatchEnd()
{
    if (m_needsRefresh)
        refresh();
}

// Stacks ---------------------------------------------------------------------------------

void PLXRenderingMediator::setOutOfDate(bool on)
{
    m_rebuild->setEnabled(on);
    // The files would not be the shapes on screen: the export waits for
    // the rebuild, and says so where the user looks for it.
    m_export->setEnabled(!on);
    m_export->setToolTip(on ? tr("The view is out of date: Rebuild it to export the surfaces it shows")
                            : tr("Write the stack's surface models as ASCII STL files"));
    m_export->setStatusTip(m_export->toolTip());
    if (on == m_outOfDate)
        return;
    m_outOfDate = on;
    emit outOfDateChanged(on);
}

void PLXRenderingMediator::updateStackActions(int openStacks)
{
    const bool several = openStacks > 1 && m_stack;
    m_previousStack->setEnabled(several);
    m_nextStack->setEnabled(several);
}

void PLXRenderingMediator::setNextStack()
{
    if (!m_stack)
        return;
    PLXStack* next = PLXStackServer::stackServer.getNextStack(m_stack);
    if (!next || next == m_stack)
        return;
    next->updateReconstruction();
    setStack(*next);
}

void PLXRenderingMediator::setPreviousStack()
{
    if (!m_stack)
        return;
    PLXStack* previous = PLXStackServer::stackServer.getPreviousStack(m_stack);
    if (!previous || previous == m_stack)
        return;
    previous->updateReconstruction();
    setStack(*previous);
}

void PLXRenderingMediator::editModels()
{
    if (m_stack)
        emit editModelsRequested(m_stack);
}

// STL export -----------------------------------------------------------------------------

void PLXRenderingMediator::export2AsciiSTL()
{
    if (!m_stack || m_outOfDate)
        return;
    QSettings settings;
    const QString start = settings.value(PLXSettingsKeys::exportDirectory, QDir::homePath()).toString();
    const QString directory = Dialogs::getExistingDirectory(m_window, tr("Select export directory"), start);
    if (directory.isEmpty())
        return;
    settings.setValue(PLXSettingsKeys::exportDirectory, directory);
    if (m_stack->hasGeometryModels(MPrimitive::Polypoint))
        Dialogs::warning(m_window, tr("STL export"), tr("STL supports only surface objects\n Point models could not be saved"));
    try {
        // The surfaces are built and written by a worker, model by model;
        // never over an existing file: the first one found stops the export.
        const PLXStack& stack = *m_stack;
        const std::string target = QFile::encodeName(directory).toStdString();
        PLXWorker worker;
        PLXProgressDialog dialog(tr("Export to STL"), m_window);
        dialog.setLabelText(tr("Writing the surfaces..."));
        worker.getProgress().addMonitor(dialog);
        worker.run(
            [&](PLXProgressProxy& progress) {
                const StackReconstruction<float> reconstruction(stack);
                const auto n = static_cast<unsigned>(stack.getNumModels());
                for (unsigned i = 0; i < n && !progress.isCanceled(); ++i) {
                    StackExporter::export2AsciiSTL(*stack.getModel(static_cast<int>(i)), reconstruction, target,
                                                   stack.getName(), false);
                    progress.notifyProgressed(i + 1, n);
                }
            },
            &dialog);
        worker.getProgress().removeMonitor(dialog);
    } catch (const FileWriteError& e) {
        const QString file = QFile::decodeName(e.getFile().c_str());
        const QString reason = QFileInfo::exists(file) && e.getWhat().find("exists") != std::string::npos
                                   ? tr("file already exists.")
                                   : QString::fromStdString(e.getWhat()) + QLatin1Char('.');
        Dialogs::warning(m_window, tr("STL export: write error"),
                         file + tr(":\n\n") + reason + tr("\n\nExport to STL interrupted."));
    } catch (const Exception& e) {
        Dialogs::warning(m_window, tr("STL export"),
                         QString::fromStdString(e.getWhat()) + tr("\n\nExport to STL interrupted."));
    }
}

// Poses ----------------------------------------------------------------------------------

void PLXRenderingMediator::rebuildPoseMenus()
{
    m_selectPose->clear();
    m_deletePose->clear();
    const int n = m_stack ? m_stack->getNumPoses() : 0;
    for (int i = 0; i < n; ++i) {
        const QString name = QString::fromStdString(m_stack->getPose(i)->getName());
        QAction* select = m_selectPose->addAction(name);
        select->setData(i);
        connect(select, &QAction::triggered, this, [this, i] { selectPose(i); });
        QAction* remove = m_deletePose->addAction(name);
        remove->setData(i);
        connect(remove, &QAction::triggered, this, [this, i] { deletePose(i); });
    }
    m_selectPose->setEnabled(n > 0);
    m_selectPose->menuAction()->setEnabled(n > 0);
    m_deletePose->setEnabled(n > 0);
    m_deletePose->menuAction()->setEnabled(n > 0);
    m_recordPose->setEnabled(m_stack != nullptr);
}

void PLXRenderingMediator::recordPose()
{
    if (!m_stack)
        return;
    bool ok = false;
    QString name = Dialogs::getText(m_window, tr("Rendering"), tr("Enter pose name:"), QString(), &ok);
    if (!ok)
        return;
    name = name.trimmed();
    if (name.isEmpty())
        name = tr("Pose %1").arg(m_stack->getNumPoses() + 1);
    auto* pose = new Pose(getCanvas() ? getCanvas()->getPose() : Pose());
    pose->setName(name.toStdString());
    pose->setStack(m_stack);
    PLXActionHistory& history = m_stack->history();
    history.openStep();
    history.push(new PLXPoseCreationAction(*pose), true);
    history.closeStep();
}

void PLXRenderingMediator::selectPose(int index)
{
    if (m_stack && index >= 0 && index < m_stack->getNumPoses())
        setPose(*m_stack->getPose(index));
}

void PLXRenderingMediator::deletePose(int index)
{
    if (!m_stack || index < 0 || index >= m_stack->getNumPoses())
        return;
    PLXActionHistory& history = m_stack->history();
    history.openStep();
    history.push(new PLXPoseDeletionAction(*m_stack->getPose(index)), true);
    history.closeStep();
}

// Animation ------------------------------------------------------------------------------

void PLXRenderingMediator::setAnimationAngle()
{
    bool ok = false;
    const int angle = Dialogs::getInt(m_window, tr("Animation angle"), tr("Enter animation angle (deg.):"),
                                      static_cast<int>(getRandomMotion().getAngleStep()), -180, 180, 1, &ok);
    if (!ok)
        return;
    getRandomMotion().setAngleStep(static_cast<float>(angle));
    getSpinningMotion().setAngleStep(static_cast<float>(angle));
}

void PLXRenderingMediator::setAnimationTimeout()
{
    bool ok = false;
    const int timeout = Dialogs::getInt(m_window, tr("Animation timeout"), tr("Enter animation interval (msec):"),
                                        getRandomMotion().getTimeout(), 0, 10000, 1, &ok);
    if (!ok)
        return;
    getRandomMotion().setTimeout(timeout);
    getSpinningMotion().setTimeout(timeout);
}

// Videos and movies ----------------------------------------------------------------------

QString PLXRenderingMediator::suggestedFileName(const QString& suffix) const
{
    QString base;
    if (m_stack && !m_stack->getFilename().isEmpty())
        base = QFileInfo(m_stack->getFilename()).completeBaseName();
    if (base.isEmpty() && m_stack)
        base = QString::fromStdString(m_stack->getName());
    // A name is one path component.
    base.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (base.isEmpty())
        base = QStringLiteral("plexan");
    return QDir::homePath() + QLatin1Char('/') + base + suffix;
}

void PLXRenderingMediator::startVideoRecorder()
{
    const Movie movie = m_pendingMovie;
    m_pendingMovie = Movie::None;
    if (!getCanvas() || !m_stack)
        return;
    if (movie != Movie::None) {
        askMovie(movie);
        return;
    }
    if (m_recorder) {
        m_recorder->raise();
        return;
    }
    auto* recorder = new PLXVideoRecorder(*getCanvas(), getEncoderProgram(), suggestedFileName(QStringLiteral(".mp4")),
                                          m_window);
    recorder->setAttribute(Qt::WA_DeleteOnClose);
    if (!recorder->isValid()) {
        delete recorder;
        Dialogs::warning(m_window, tr("Video"), tr("Could not make a folder for the frames in %1.").arg(QDir::tempPath()));
        return;
    }
    m_recorder = recorder;
    recorder->show();
}

void PLXRenderingMediator::turntableMovie()
{
    m_pendingMovie = Movie::Turntable;
    videoStart();
    m_pendingMovie = Movie::None;
}

void PLXRenderingMediator::poseFlightMovie()
{
    if (!m_stack)
        return;
    if (m_stack->getNumPoses() < 2) {
        Dialogs::information(m_window, tr("Pose flight movie"),
                             tr("A flight goes through the poses of the stack: record at least two poses first "
                                "(Pose > Record...)."));
        return;
    }
    m_pendingMovie = Movie::Flight;
    videoStart();
    m_pendingMovie = Movie::None;
}

bool PLXRenderingMediator::askMovie(Movie kind)
{
    const bool turntable = kind == Movie::Turntable;
    const QString title = turntable ? tr("Turntable movie") : tr("Pose flight movie");
    PLXMovieDialog dialog(title, turntable ? 8.0 : 10.0, 20, m_window);
    if (Dialogs::exec(dialog) != QDialog::Accepted)
        return false;
    const QString suffix = turntable ? QStringLiteral("-turntable.mp4") : QStringLiteral("-flight.mp4");
    const QString chosen =
        Dialogs::getSaveFileName(m_window, tr("Save movie"), suggestedFileName(suffix), PLXVideoEncoder::nameFilter());
    if (chosen.isEmpty())
        return false;
    const QString file = PLXVideoEncoder::withKnownExtension(chosen);
    if (file != chosen && QFileInfo::exists(file) &&
        Dialogs::question(m_window, tr("Save movie"), tr("%1 already exists.\nDo you want to replace it?").arg(file)) !=
            QMessageBox::Yes)
        return false;
    const bool made = turntable ? makeTurntable(file, dialog.getDuration(), dialog.getFrameRate())
                                : makePoseFlight(file, dialog.getDuration(), dialog.getFrameRate());
    if (!made && !m_movieError.isEmpty())
        Dialogs::warning(m_window, title, m_movieError);
    return made;
}

PLXCamera PLXRenderingMediator::currentCamera() const
{
    PLXCamera camera;
    if (!getCanvas())
        return camera;
    camera = PLXCamera::fromPose(getCanvas()->getPose());
    camera.rotation = getCanvas()->getRotation();
    return camera;
}

void PLXRenderingMediator::applyCamera(const PLXCamera& camera)
{
    ViewerCanvasGL* canvas = getCanvas();
    canvas->setRotation(camera.rotation);
    // The translation is scaled by the zoom: zoom first.
    canvas->setZoom(camera.zoom);
    canvas->setTranslation(camera.translation);
    canvas->setAmbientLight(camera.ambient);
    canvas->setDiffuseLight(camera.diffuse);
    canvas->setSpecularLight(camera.specular);
}

bool PLXRenderingMediator::makeTurntable(const QString& file, double seconds, int fps)
{
    return makeMovie(PLXCameraPath::turntable(currentCamera(), PLXCameraPath::frameCount(seconds, fps)), fps, file);
}

bool PLXRenderingMediator::makePoseFlight(const QString& file, double seconds, int fps)
{
    std::vector<PLXCamera> poses;
    if (m_stack)
        for (int i = 0; i < m_stack->getNumPoses(); ++i)
            poses.push_back(PLXCamera::fromPose(*m_stack->getPose(i)));
    if (poses.size() < 2) {
        m_movieError = tr("A flight needs at least two poses.");
        return false;
    }
    return makeMovie(PLXCameraPath::flight(poses, PLXCameraPath::frameCount(seconds, fps)), fps, file);
}

bool PLXRenderingMediator::makeMovie(const std::vector<PLXCamera>& cameras, int fps, const QString& file)
{
    m_movieError.clear();
    ViewerCanvasGL* canvas = getCanvas();
    if (!canvas || cameras.empty()) {
        m_movieError = tr("There is no view to film.");
        return false;
    }
    QTemporaryDir frames(QDir::tempPath() + QStringLiteral("/plexan-frames-XXXXXX"));
    if (!frames.isValid()) {
        m_movieError = tr("Could not make a folder for the frames in %1.").arg(QDir::tempPath());
        return false;
    }
    const int n = static_cast<int>(cameras.size());
    bool canceled = false;
    {
        // Frames are drawn here, in the view's context, and written by a
        // worker while the next one is drawn. The modal progress keeps the
        // user's hands off the view meanwhile.
        PLXFrameWriter writer(frames.path());
        const PLXCamera saved = currentCamera();
        PLXProgressDialog progress(tr("Rendering the movie"), m_window);
        progress.setLabelText(tr("Rendering %1 frames...").arg(n));
        progress.show();
        for (int k = 0; k < n && !writer.hasFailed(); ++k) {
            applyCamera(cameras[static_cast<std::size_t>(k)]);
            writer.write(canvas->grabFramebuffer());
            progress.setValue(static_cast<int>(100.0 * (k + 1) / n));
            QCoreApplication::processEvents();
            if (progress.wasCanceled()) {
                canceled = true;
                break;
            }
        }
        writer.finish();
        applyCamera(saved);
        progress.hide();
        if (!canceled && writer.hasFailed())
            m_movieError = writer.getError();
    }
    bool made = false;
    if (!canceled && m_movieError.isEmpty()) {
        PLXVideoEncoder encoder(getEncoderProgram());
        made = encoder.encode(frames.path(), n, fps, file, m_window);
        if (!made && !encoder.wasCanceled())
            m_movieError = encoder.getError();
    }
    QDir(frames.path()).removeRecursively();
    return made;
}

PLXVideoRecorder* PLXRenderingMediator::getVideoRecorder() const
{
    return m_recorder.data();
}
