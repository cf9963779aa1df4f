#pragma once
// The slice editor on a small application stack: two slices of 200 x 150
// pixels, a polygon, a polyline and a point-set model, the view at zoom 1
// (canvas pixels are image pixels), and helpers that send the canvas
// mouse and key events as a user's hand would.

#include "app/plxactionhistory.h"
#include "app/plxpreferences.h"
#include "app/plxstack.h"
#include "app/slice/plxsliceeditwidget.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxsliceeditwidgetmediator.h"
#include "app/slice/plxsliceeditwidgetstatusbar.h"
#include "../apptesting.h"
#include "slicefixtures.h"
#include "support/dialogscript.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <utility>
#include <vector>

namespace editortest {

using Points = std::vector<std::pair<int, int>>;

inline Points coordinates(const ModelItem& item)
{
    Points list;
    for (int i = 0; i < item.getSize(); ++i)
        list.emplace_back(item.getVertices()[i][0], item.getVertices()[i][1]);
    return list;
}

inline std::vector<bool> flags(const ModelItem& item)
{
    std::vector<bool> list;
    for (int i = 0; i < item.getSelection().getLength(); ++i)
        list.push_back(item.getSelection().isSelected(i));
    return list;
}

// Twice the signed area in image coordinates (y down), by the shoelace formula.
inline long long shoelace(const Points& p)
{
    long long sum = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const auto& a = p[i];
        const auto& b = p[(i + 1) % p.size()];
        sum += static_cast<long long>(a.first) * b.second - static_cast<long long>(b.first) * a.second;
    }
    return sum;
}

// Counts the slice item selection events and keeps the last summary.
class SelectionListener : public PLXEventClient {
public:
    int count = 0;
    StackSliceSelectionInfo last;

protected:
    void sliceItemSelectionEvent(PLXSliceItemSelectionEvent& e) override
    {
        ++count;
        last = e.getSelectionInfo();
    }
};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        PLXPreferences::setClickTolerance(PLXPreferences::defaultClickTolerance);
        PLXPreferences::enableAutoDecimation(false);
        stack = std::make_unique<PLXStack>();
        for (int i = 0; i < 2; ++i) {
            const std::string path = (m_dir.path() + QString("/slice%1.tif").arg(i)).toStdString();
            slicefixtures::greyImage(200, 150).writeFile(path, "", true);
            auto* slice = new StackSlice("s" + std::to_string(i + 1));
            slice->setImageSource(ImageSourceFile(path));
            stack->addSlice(slice);
        }
        organ = addModel("organ", MPrimitive::Polygon);
        duct = addModel("duct", MPrimitive::Polyline);
        nuclei = addModel("nuclei", MPrimitive::Polypoint);
        view = std::make_unique<PLXSliceEditWidget>();
        view->resize(320, 260);
        editor = new PLXSliceEditWidgetMediator(view.get());
        view->show();
        editor->setSlice(slice());
        view->setZoomFactor(1.0);
        lock = std::make_unique<QSignalSpy>(view.get(), &PLXSliceEditWidget::lockRequested);
    }

    void TearDown() override
    {
        lock.reset();
        view.reset();
        stack.reset();
    }

    Model* addModel(const std::string& name, MPrimitive geometry)
    {
        auto* model = new Model(name);
        model->getProperties().setGeometry(geometry);
        stack->addModel(model);
        return model;
    }

    StackSlice* slice(int i = 0) const { return stack->getSlice(i); }
    PLXSliceEditWidgetCanvas* canvas() const { return view->getCanvas(); }
    PLXActionHistory& history() const { return stack->history(); }
    QString mode() const { return editor->getStatusBar()->getMode(); }
    std::string text() const { return apptest::stackText(*stack); }

    static ModelItem* addItem(Model* model, StackSlice* slice, const Points& points)
    {
        return slicefixtures::TestStack::addItem(model, slice, points);
    }

    // Mouse events at image positions (the canvas converts at its zoom).
    QPoint at(int x, int y) const { return canvas()->toWorld(QPoint(x, y)); }
    void send(QEvent::Type type, const QPoint& world, Qt::MouseButton button, Qt::MouseButtons buttons,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QMouseEvent event(type, QPointF(world), canvas()->mapToGlobal(QPointF(world)), button, buttons, modifiers);
        QApplication::sendEvent(canvas(), &event);
    }
    void press(int x, int y, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        send(QEvent::MouseButtonPress, at(x, y), button, button, modifiers);
    }
    void release(int x, int y, Qt::MouseButton button = Qt::LeftButton,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        send(QEvent::MouseButtonRelease, at(x, y), button, Qt::NoButton, modifiers);
    }
    void move(int x, int y, Qt::MouseButtons buttons = Qt::LeftButton) const
    {
        send(QEvent::MouseMove, at(x, y), Qt::NoButton, buttons);
    }
    void click(int x, int y, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        press(x, y, button, modifiers);
        release(x, y, button, modifiers);
    }
    void doubleClick(int x, int y) const
    {
        click(x, y);
        send(QEvent::MouseButtonDblClick, at(x, y), Qt::LeftButton, Qt::LeftButton);
        release(x, y);
    }
    // A left drag through the positions, pressed at the first, released at the last.
    void drag(const Points& path) const
    {
        press(path.front().first, path.front().second);
        for (std::size_t i = 1; i < path.size(); ++i)
            move(path[i].first, path[i].second);
        release(path.back().first, path.back().second);
    }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QTest::keyClick(canvas(), k, modifiers);
    }

    // The document before a gesture must come back after one undo, and the
    // document after it after one redo.
    void expectOneUndoStep(const std::string& before, int stepsBefore = 0)
    {
        const std::string after = text();
        EXPECT_NE(after, before);
        EXPECT_EQ(history().getNumUndoSteps(), stepsBefore + 1);
        history().undo();
        EXPECT_EQ(text(), before);
        history().redo();
        EXPECT_EQ(text(), after);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<PLXStack> stack;
    Model* organ = nullptr;
    Model* duct = nullptr;
    Model* nuclei = nullptr;
    std::unique_ptr<PLXSliceEditWidget> view;
    PLXSliceEditWidgetMediator* editor = nullptr;
    std::unique_ptr<QSignalSpy> lock;
};

} // namespace editortest
