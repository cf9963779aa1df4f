#include "app/slice/plxsnakedelegate.h"

#include "app/plxitemactions.h"
#include "app/plxprogressdialog.h"
#include "app/plxworker.h"
#include "app/slice/plxoutlines.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxsliceeditwidgetmediator.h"
#include "app/slice/plxsnakeconfigdialog.h"
#include "gl/dialogs.h"
#include "image/image.h"
#include "image/pixelmatrix.h"
#include "imageprocessing/snake.h"
#include "imageprocessing/snakeconfig.h"
#include "imageprocessing/snakedriver.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// The image reduced by an integer factor: each element the mean of its block.
PixelMatrix<float> reduce(const PixelMatrix<float>& m, int factor)
{
    if (factor <= 1)
        return m;
    const int rows = std::max(1, m.getSize1() / factor);
    const int columns = std::max(1, m.getSize2() / factor);
    PixelMatrix<float> r(rows, columns);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            float sum = 0.0f;
            int count = 0;
            for (int a = i * factor; a < std::min(m.getSize1(), (i + 1) * factor); ++a)
                for (int b = j * factor; b < std::min(m.getSize2(), (j + 1) * factor); ++b) {
                    sum += m(a, b);
                    ++count;
                }
            r(i, j) = count ? sum / static_cast<float>(count) : 0.0f;
        }
    return r;
}

Curve<float> scaled(const Vertices<int>& vertices, float factor)
{
    Curve<float> curve = plxoutlines::toCurve<float>(vertices, false);
    for (int i = 0; i < curve.getNumVertices(); ++i) {
        curve[i][0] *= factor;
        curve[i][1] *= factor;
    }
    return curve;
}

Vertices<int> enlarged(const Curve<float>& curve, int factor)
{
    Curve<float> copy = curve;
    copy.detach();
    for (int i = 0; i < copy.getNumVertices(); ++i) {
        copy[i][0] *= static_cast<float>(factor);
        copy[i][1] *= static_cast<float>(factor);
    }
    return plxoutlines::toVertices(copy);
}

QString failureText()
{
    return QObject::tr("The snake has aborted. Suggestions:\n") + QObject::tr("- change the original contour;\n") +
           QObject::tr("- change the snake parameters.");
}

} // namespace

PLXSnakeDelegate::PLXSnakeDelegate(PLXSliceEditWidgetMediator* mediator)
    : PLXSliceEditWidgetMediatorDelegate(mediator)
{
    setMode(QStringLiteral("SNAKE"));
    m_overStack = PLXSnakeConfigDialog::rememberedOverStack();
    m_propagation = PLXSnakeConfigDialog::rememberedPropagation();
}

bool PLXSnakeDelegate::configure()
{
    // The parameters are those of the selected outline's model, when there is one.
    Model* model = nullptr;
    if (StackSlice* s = slice()) {
        const std::vector<ModelItem*> selected = s->getSelectedItems();
        if (selected.size() == 1)
            model = selected.front()->getModel();
    }
    const SnakeConfig shown = model && model->getSnakeConfig() ? *model->getSnakeConfig()
                                                               : PLXSnakeConfigDialog::rememberedConfig();
    PLXSnakeConfigDialog dialog(shown, m_overStack, m_propagation, &canvas());
    if (model)
        dialog.setWindowTitle(tr("Snake parameters of %1").arg(QString::fromStdString(model->getName())));
    if (Dialogs::exec(dialog) != QDialog::Accepted)
        return false;
    const SnakeConfig config = dialog.getConfig();
    m_overStack = dialog.isRunOverStack();
    m_propagation = dialog.isPropagationEnabled();
    if (model)
        model->setSnakeConfig(config);
    PLXSnakeConfigDialog::remember(config, m_overStack, m_propagation);
    return true;
}

void PLXSnakeDelegate::activate()
{
    StackSlice* s = slice();
    Stack* document = s ? s->getStack() : nullptr;
    if (!document || isActive())
        return;
    const std::vector<ModelItem*> selected = s->getSelectedItems();
    if (selected.size() != 1 || !selected.front()->getSelection().isComplete() || !selected.front()->isClosed())
        return;
    const ModelItem* item = selected.front();
    Model* model = item->getModel();
    const SnakeConfig config =
        model->getSnakeConfig() ? *model->getSnakeConfig() : PLXSnakeConfigDialog::rememberedConfig();
    const int factor = static_cast<int>(std::max(1u, config.getScale()));
    m_canceled = false;
    m_failures.clear();
    PLXSliceEditWidgetMediatorDelegate::activate();

    // The slices, in the order they are processed.
    const int current = document->findSlice(s);
    std::vector<StackSlice*> order{s};
    if (m_overStack) {
        bool ok = false;
        const int n = Dialogs::getInt(&canvas(), tr("Snake"), tr("nSlices"), 10, 0, 100, 1, &ok);
        if (!ok) {
            deactivate();
            return;
        }
        const int last = document->getNumSlices() - 1;
        const int lower = n > 0 ? std::max(0, current - n) : 0;
        const int upper = n > 0 ? std::min(last, current + n) : last;
        for (int i = current - 1; i >= lower; --i)
            order.push_back(document->getSlice(i));
        for (int i = current + 1; i <= upper; ++i)
            order.push_back(document->getSlice(i));
    }

    const Vertices<int> start = plxoutlines::toVertices(item->getVertices());
    const bool propagation = m_propagation;
    std::vector<std::pair<StackSlice*, Vertices<int>>> results;
    QStringList failures;
    PLXWorker worker;
    PLXProgressDialog dialog(tr("Running snake..."), &canvas());
    worker.getProgress().addMonitor(dialog);
    try {
        worker.run(
            [&](PLXProgressProxy& progress) {
                Vertices<int> from = start;
                for (StackSlice* target : order) {
                    if (progress.isCanceled())
                        return;
                    const std::string name = target->getName();
                    progress.notifyProgressed("Running snake on slice " + name);
                    try {
                        Image image;
                        target->load(image);
                        const PixelMatrix<float> matrix = reduce(PixelMatrix<float>(image), factor);
                        Snake<float, float> snake;
                        snake.setPixelMatrix(matrix);
                        snake.setConfig(config, false);
                        snake.setCurve(scaled(from, 1.0f / static_cast<float>(factor)));
                        snake.init();
                        SnakeDriver<float, float> driver;
                        driver.addMonitor(progress);
                        driver.run(snake, maxIterations);
                        driver.removeMonitor(progress);
                        if (progress.isCanceled() || driver.isCanceled())
                            return;
                        const Vertices<int> result = enlarged(snake.getCurve(), factor);
                        results.emplace_back(target, result);
                        from = propagation ? result : start;
                    } catch (const Exception&) {
                        failures << QString::fromStdString(name);
                        from = start;
                    }
                }
            },
            &dialog);
    } catch (const Exception& e) {
        failures << QString::fromStdString(e.getWhat());
    }
    m_canceled = worker.isCanceled();
    m_failures = failures;

    std::vector<PLXAction*> actions;
    for (auto& [target, vertices] : results) {
        auto* made = new ModelItem(model, target);
        made->setVertices(vertices);
        made->setClockwise(false);
        actions.push_back(new PLXItemCreationAction(*made));
    }
    pushStep(actions);
    deactivate();
    if (!failures.isEmpty()) {
        const QString where =
            m_overStack ? tr("Running snake on slice %1\n").arg(failures.join(QStringLiteral(", "))) : QString();
        Dialogs::critical(&canvas(), tr("Snake"), where + failureText());
    }
}
