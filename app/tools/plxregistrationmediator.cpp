#include "app/tools/plxregistrationmediator.h"

#include "app/plxactionhistory.h"
#include "app/plxprogressdialog.h"
#include "app/plxregistrationaction.h"
#include "app/plxsliceactions.h"
#include "app/plxstack.h"
#include "app/plxworker.h"
#include "app/tools/plxregistrationcanvas.h"
#include "app/tools/plxregistrationpanel.h"
#include "gl/dialogs.h"
#include "numerics/exception.h"
#include "stack/sliceregistration.h"
#include "stack/stackslice.h"

#include <QApplication>

namespace {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Slices first .. last of a stack as a stack of their own that a worker may
// read while the document stays with the GUI thread: names, image sources,
// calibrations and registrations, no items.
std::unique_ptr<Stack> imageCopy(const Stack& stack, int first, int last)
{
    auto copy = std::make_unique<Stack>();
    copy->setName(stack.getName());
    for (int i = first; i <= last; ++i) {
        const StackSlice& slice = *stack.getSlice(i);
        auto* s = new StackSlice(slice.getName());
        if (slice.hasImageSource())
            s->setImageSource(slice.getImageSource());
        s->setPixelCalibration(slice.getPixelCalibration());
        s->setRegistration(slice.getRegistration());
        copy->addSlice(s);
    }
    return copy;
}

QString describe(const Exception& e)
{
    return QString::fromStdString(e.getWhat());
}

} // namespace

PLXRegistrationMediator::PLXRegistrationMediator(QWidget* window, PLXRegistrationCanvas& canvas,
                                                 PLXRegistrationPanel& panel, QObject* parent)
    : QObject(parent), m_window(window), m_canvas(canvas), m_panel(panel),
      m_worker(std::make_unique<PLXWorker>())
{
    connect(&m_panel, &PLXRegistrationPanel::sliceClicked, this,
            qOverload<const QString&>(&PLXRegistrationMediator::setSlice));
    connect(&m_panel, &PLXRegistrationPanel::registrationChanged, this, &PLXRegistrationMediator::setRegistration);
    connect(&m_panel, &PLXRegistrationPanel::firstClicked, this, &PLXRegistrationMediator::setFirstSlice);
    connect(&m_panel, &PLXRegistrationPanel::previousClicked, this, &PLXRegistrationMediator::setPreviousSlice);
    connect(&m_panel, &PLXRegistrationPanel::nextClicked, this, &PLXRegistrationMediator::setNextSlice);
    connect(&m_panel, &PLXRegistrationPanel::lastClicked, this, &PLXRegistrationMediator::setLastSlice);
    connect(&m_panel, &PLXRegistrationPanel::resetClicked, this, &PLXRegistrationMediator::reset);
    connect(&m_panel, &PLXRegistrationPanel::restoreClicked, this, &PLXRegistrationMediator::restore);
    connect(&m_panel, &PLXRegistrationPanel::applyClicked, this, &PLXRegistrationMediator::apply);
    connect(&m_panel, &PLXRegistrationPanel::cancelClicked, this, &PLXRegistrationMediator::cancel);
    connect(&m_panel, &PLXRegistrationPanel::biggerClicked, this, &PLXRegistrationMediator::increaseScale);
    connect(&m_panel, &PLXRegistrationPanel::smallerClicked, this, &PLXRegistrationMediator::decreaseScale);
    connect(&m_panel, &PLXRegistrationPanel::transparencyModeChanged, &m_canvas,
            qOverload<int>(&PLXRegistrationCanvas::setTransparencyMode));
    connect(&m_panel, &PLXRegistrationPanel::framesEnabled, &m_canvas, &PLXRegistrationCanvas::setFramesEnabled);
    connect(&m_canvas, &PLXRegistrationCanvas::registrationChanged, this,
            &PLXRegistrationMediator::setRegistration);
}

PLXRegistrationMediator::~PLXRegistrationMediator() = default;

PLXProgressProxy& PLXRegistrationMediator::getProgress() const
{
    return m_worker->getProgress();
}

void PLXRegistrationMediator::report(const QString& title, const QString& text)
{
    Dialogs::warning(m_window, title, text);
}

// Stack and slices -----------------------------------------------------------------

void PLXRegistrationMediator::setStack(PLXStack& stack)
{
    if (stack.getNumSlices() < 2)
        throw UsageError("void PLXRegistrationMediator::setStack(PLXStack&)",
                         "Cannot perform registration without at least 2 slices");
    m_stack = &stack;
    m_slice = nullptr;
    m_registration = Registration();
    m_canvas.clear();
    m_canvas.setRegistration(m_registration);
    m_panel.setStack(&stack);
    m_panel.setRegistration(m_registration);
    m_panel.setRestoreEnabled(false);
}

void PLXRegistrationMediator::clearStack()
{
    m_stack = nullptr;
    m_slice = nullptr;
    m_canvas.clear();
    m_panel.setStack(nullptr);
}

void PLXRegistrationMediator::setSlice(StackSlice& slice)
{
    if (!m_stack || m_stack->findSlice(&slice) < 1 || &slice == m_slice)
        return;
    apply();
    showSlice(&slice);
}

void PLXRegistrationMediator::setSlice(const QString& name)
{
    if (!m_stack)
        return;
    const int i = m_stack->findSlice(name.toStdString());
    if (i >= 1)
        setSlice(*m_stack->getSlice(i));
}

void PLXRegistrationMediator::setFirstSlice()
{
    if (m_stack && m_stack->getNumSlices() > 1)
        setSlice(*m_stack->getSlice(1));
}

void PLXRegistrationMediator::setPreviousSlice()
{
    if (!m_stack || !m_slice)
        return;
    const int i = m_stack->findSlice(m_slice);
    if (i > 1)
        setSlice(*m_stack->getSlice(i - 1));
}

void PLXRegistrationMediator::setNextSlice()
{
    if (!m_stack || !m_slice)
        return;
    const int i = m_stack->findSlice(m_slice);
    if (i >= 0 && i + 1 < m_stack->getNumSlices())
        setSlice(*m_stack->getSlice(i + 1));
}

void PLXRegistrationMediator::setLastSlice()
{
    if (m_stack && m_stack->getNumSlices() > 1)
        setSlice(*m_stack->getLastSlice());
}

void PLXRegistrationMediator::showSlice(StackSlice* slice)
{
    m_slice = slice;
    StackSlice* previous = slice ? slice->prevSlice() : nullptr;
    m_panel.setSlices(previous, slice);
    showCanvas();
    showStoredRegistration();
}

void PLXRegistrationMediator::showCanvas()
{
    WaitCursor wait;
    try {
        m_canvas.setSlices(m_slice ? m_slice->prevSlice() : nullptr, m_slice);
    } catch (const Exception& e) {
        report(QStringLiteral("Registration"), QStringLiteral("Cannot show the slice images:\n") + describe(e));
    }
}

void PLXRegistrationMediator::showStoredRegistration()
{
    m_registration = m_slice ? m_slice->getRegistration() : Registration();
    m_canvas.setRegistration(m_registration);
    m_panel.setRegistration(m_registration);
    m_panel.setRestoreEnabled(false);
}

// Registration ------------------------------------------------------------------------

void PLXRegistrationMediator::setRegistration(const Registration& registration)
{
    if (!m_slice)
        return;
    m_registration = registration;
    m_canvas.setRegistration(registration);
    m_panel.setRegistration(registration);
    m_panel.setRestoreEnabled(true);
}

void PLXRegistrationMediator::reset()
{
    setRegistration(Registration());
}

void PLXRegistrationMediator::restore()
{
    if (m_slice)
        showStoredRegistration();
}

void PLXRegistrationMediator::apply()
{
    if (!m_stack || !m_slice || m_registration == m_slice->getRegistration())
        return;
    auto* action = new PLXRegistrationAction(*m_stack);
    action->addSlice(*m_slice, m_slice->getRegistration(), m_registration);
    PLXActionHistory& history = m_stack->history();
    history.openStep();
    history.push(action, true);
    history.closeStep();
}

void PLXRegistrationMediator::cancel()
{
    emit closeRequested();
}

void PLXRegistrationMediator::increaseScale()
{
    try {
        m_canvas.increaseScale();
    } catch (const Exception& e) {
        report(QStringLiteral("Registration"), QStringLiteral("Cannot show the slice images:\n") + describe(e));
    }
}

void PLXRegistrationMediator::decreaseScale()
{
    try {
        m_canvas.decreaseScale();
    } catch (const Exception& e) {
        report(QStringLiteral("Registration"), QStringLiteral("Cannot show the slice images:\n") + describe(e));
    }
}

// Automatic registration -----------------------------------------------------------------

void PLXRegistrationMediator::runAutomaticRegistration(const PLXAutomaticRegistrationConfig& config)
{
    if (config.registerAllSlices)
        registerAllSlices();
    else
        registerCurrentSlice();
}

void PLXRegistrationMediator::cancelAutomaticRegistration()
{
    if (m_worker->isRunning())
        m_worker->cancel();
}

void PLXRegistrationMediator::registerCurrentSlice()
{
    if (!m_stack || !m_slice || m_worker->isRunning())
        return;
    const int k = m_stack->findSlice(m_slice);
    if (k < 1)
        return;
    const std::unique_ptr<Stack> copy = imageCopy(*m_stack, k - 1, k);
    Registration found;
    PLXProgressDialog dialog(QStringLiteral("Registering slice"), m_window);
    try {
        m_worker->run([&copy, &found](PLXProgressProxy&) { found = SliceRegistration::compute(*copy->getSlice(1)); },
                      &dialog);
    } catch (const Exception& e) {
        report(QStringLiteral("Automatic registration"), describe(e));
        return;
    }
    if (m_worker->isCanceled())
        return;
    setRegistration(found);
    apply();
}

void PLXRegistrationMediator::registerAllSlices()
{
    if (!m_stack || m_worker->isRunning())
        return;
    const int n = m_stack->getNumSlices();
    if (n < 2)
        return;
    apply();
    const std::unique_ptr<Stack> copy = imageCopy(*m_stack, 0, n - 1);
    PLXProgressProxy& progress = m_worker->getProgress();
    progress.notifyStarted("Running automatic registration...");
    PLXProgressDialog dialog(QStringLiteral("Running automatic registration..."), m_window);
    QString error;
    try {
        m_worker->run(
            [&copy](PLXProgressProxy& p) {
                SliceRegistration registration;
                registration.addMonitor(p);
                try {
                    registration.registerAllSlices(*copy);
                } catch (...) {
                    registration.removeMonitor(p);
                    throw;
                }
                registration.removeMonitor(p);
            },
            &dialog);
    } catch (const Exception& e) {
        error = describe(e);
    }
    const bool canceled = m_worker->isCanceled();
    if (canceled)
        progress.notifyCanceled("");
    else
        progress.notifyFinished("");

    // The slices done (all of them, or those before a cancel or an error)
    // take their new registrations in one step.
    const int done = copy->findSlice(copy->getLastRegisteredSlice());
    if (done >= 1) {
        auto* action = new PLXRegistrationAction(*m_stack);
        for (int i = 1; i <= done; ++i)
            action->addSlice(*m_stack->getSlice(i), m_stack->getSlice(i)->getRegistration(),
                             copy->getSlice(i)->getRegistration());
        PLXActionHistory& history = m_stack->history();
        history.openStep();
        history.push(action, true);
        history.closeStep();
    }
    if (!error.isEmpty())
        report(QStringLiteral("Automatic registration"), error);
    if (done >= 1)
        showSlice(m_stack->getSlice(done + 1 < n ? done + 1 : done));
}

// Events ----------------------------------------------------------------------------------

void PLXRegistrationMediator::stackCloseEvent(PLXStackCloseEvent& e)
{
    if (m_stack && &e.getStack() == m_stack)
        emit closeRequested();
}

void PLXRegistrationMediator::stackNameEvent(PLXStackNameEvent& e)
{
    if (m_stack && &e.getStack() == m_stack)
        m_panel.updateStack();
}

void PLXRegistrationMediator::stackRegistrationEvent(PLXStackRegistrationEvent& e)
{
    if (m_stack && &e.getStack() == m_stack && m_slice)
        showStoredRegistration();
}

void PLXRegistrationMediator::sliceNameEvent(PLXSliceNameEvent& e)
{
    if (!m_stack || m_stack->findSlice(&e.getSlice()) < 0)
        return;
    m_panel.updateStack();
    if (m_slice)
        m_panel.setSlices(m_slice->prevSlice(), m_slice);
}

void PLXRegistrationMediator::sliceImageCalibrationEvent(PLXSliceImageCalibrationEvent& e)
{
    if (m_slice && (&e.getSlice() == m_slice || &e.getSlice() == m_slice->prevSlice()))
        showCanvas();
}

void PLXRegistrationMediator::processSliceInsertionDeletionAction(PLXSliceInsertionDeletionAction& action)
{
    if (!m_stack || &action.getStack() != static_cast<Stack*>(m_stack))
        return;
    m_panel.updateStack();
    if (!m_slice)
        return;
    // The current slice may have gone, become the first, or have a new
    // previous slice.
    if (m_stack->findSlice(m_slice) < 1) {
        m_slice = nullptr;
        m_canvas.clear();
        m_panel.setSlices(nullptr, nullptr);
        showStoredRegistration();
        return;
    }
    if (m_canvas.getBackgroundSlice() != m_slice->prevSlice())
        showSlice(m_slice);
}
