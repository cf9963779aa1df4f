// One session as a biologist works, through the real windows on a copy of
// the bundled sample: open; register every slice and correct one by hand;
// outline a structure by hand, refine it with a snake, threshold another;
// reconstruct with caps; record a pose and a short turntable video; save;
// measure (the numbers plexan-cli prints for the saved file); export the
// surfaces and the table; undo and redo everything; reopen. The document,
// the files and the numbers are checked at each stage against what is known
// of the specimen (data/sample/specimen.txt) or computed here.
//
// Each stage is grabbed to PNG: into PLEXAN_SCREENSHOT_DIR when it is set
// (docs/images holds the manual's copies), else into the test's scratch
// directory.

#include "app/plxactionhistory.h"
#include "app/plxrootmediator.h"
#include "app/plxrootwindow.h"
#include "app/plxstack.h"
#include "app/plxstackserver.h"
#include "app/slice/plximageproxy.h"
#include "app/slice/plxrootsliceeditwidget.h"
#include "app/slice/plxslicecanvas.h"
#include "app/slice/plxsliceeditwidgetcanvas.h"
#include "app/slice/plxsliceeditwidgetmediator.h"
#include "app/slice/plxsnakeconfigdialog.h"
#include "app/slice/plxsnakedelegate.h"
#include "app/tools/plxanalysiswindow.h"
#include "app/tools/plxautomaticregistrationpanel.h"
#include "app/tools/plxmodeldialog.h"
#include "app/tools/plxmodeldialogmediator.h"
#include "app/tools/plxmodelitempropertieseditor.h"
#include "app/tools/plxmodelnameeditor.h"
#include "app/tools/plxmodelpropertieseditor.h"
#include "app/tools/plxmoviedialog.h"
#include "app/tools/plxregistrationcanvas.h"
#include "app/tools/plxregistrationmediator.h"
#include "app/tools/plxregistrationpanel.h"
#include "app/tools/plxregistrationwindow.h"
#include "app/tools/plxrenderingmediator.h"
#include "app/tools/plxrenderingwindow.h"
#include "app/tools/plxtablewidget.h"
#include "apptesting.h"
#include "specimen.h"
#include "gl/viewercanvasgl.h"
#include "gl/viewerposepanel.h"
#include "imageprocessing/snakeconfig.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/stackexporter.h"
#include "stack/stackreader.h"
#include "stack/stackslice.h"
#include "stack/stackwriter.h"
#include "support/dialogscript.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

using apptest::knownRegistrations;
using apptest::shownWindows;
using apptest::Placement;

using Points = std::vector<std::pair<int, int>>;

// The grabs of the stages.
class Screenshots {
public:
    explicit Screenshots(const QString& scratch)
    {
        const QByteArray env = qgetenv("PLEXAN_SCREENSHOT_DIR");
        m_dir = env.isEmpty() ? scratch : QString::fromLocal8Bit(env);
        QDir().mkpath(m_dir);
    }
    void save(const QImage& image, const QString& name) const
    {
        EXPECT_FALSE(image.isNull()) << name.toStdString();
        EXPECT_TRUE(image.save(m_dir + "/" + name)) << (m_dir + "/" + name).toStdString();
    }
    void save(QWidget& widget, const QString& name) const
    {
        QCoreApplication::processEvents();
        save(widget.grab().toImage(), name);
    }

private:
    QString m_dir;
};

QString readFile(const QString& name)
{
    QFile file(name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return QString::fromUtf8(file.readAll());
}

// The document as its writer puts it, without the view bookmarks (poses,
// kept out of the undo history) and the slice last drawn on.
std::string documentText(const Stack& stack)
{
    std::string text = apptest::stackText(stack);
    const std::size_t pose = text.find("\nPOSE ");
    if (pose != std::string::npos)
        text.erase(pose + 1);
    while (text.size() > 1 && text.compare(text.size() - 2, 2, "\n\n") == 0)
        text.pop_back();
    return text;
}

std::string fileText(const QString& path)
{
    PLXStack stack;
    StackReader reader;
    EXPECT_TRUE(reader.read(stack, path.toStdString()));
    return documentText(stack);
}


// Mouse events sent to a widget as a hand would make them.
void mouse(QWidget& widget, QEvent::Type type, const QPoint& p, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(p), widget.mapToGlobal(QPointF(p)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void drag(QWidget& widget, const QPoint& from, const QPoint& to, Qt::MouseButton button = Qt::LeftButton)
{
    mouse(widget, QEvent::MouseButtonPress, from, button, button);
    for (int step = 1; step <= 4; ++step)
        mouse(widget, QEvent::MouseMove, from + (to - from) * step / 4, Qt::NoButton, button);
    mouse(widget, QEvent::MouseButtonRelease, to, button, Qt::NoButton);
}

void click(QWidget& widget, const QPoint& p)
{
    mouse(widget, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
    mouse(widget, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
}

std::string angles(const Vector<float>& v)
{
    return std::to_string(v[0]) + ", " + std::to_string(v[1]) + ", " + std::to_string(v[2]);
}

Points vertices(const ModelItem& item)
{
    Points list;
    for (int i = 0; i < item.getSize(); ++i)
        list.emplace_back(item.getVertices()[i][0], item.getVertices()[i][1]);
    return list;
}

// The area inside a closed outline, by the shoelace formula.
double shoelaceArea(const Points& p)
{
    double sum = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const auto& a = p[i];
        const auto& b = p[(i + 1) % p.size()];
        sum += double(a.first) * b.second - double(b.first) * a.second;
    }
    return std::abs(sum) / 2;
}

const ModelItem* itemOn(const StackSlice& slice, const std::string& model)
{
    for (const ModelItem* item : slice.getItems())
        if (item->getModel()->getName() == model)
            return item;
    return nullptr;
}

// Both caps on the named models, chosen in the model dialog and applied.
void setCaps(PLXModelDialog& models, const QStringList& names)
{
    models.getMediator().selectModels(names);
    models.getPropertiesEditor()->getBeginCapBox()->setChecked(true);
    models.getPropertiesEditor()->getEndCapBox()->setChecked(true);
    QTest::mouseClick(models.getApplyButton(), Qt::LeftButton);
}

// "Register" from the root window, then "Run" on all slices in the
// registration window it opens, which is returned (null when not exactly
// one opened).
PLXRegistrationWindow* registerAllSlices(PLXRootMediator& mediator)
{
    mediator.registerAction()->trigger();
    const QList<PLXRegistrationWindow*> registrations = shownWindows<PLXRegistrationWindow>();
    EXPECT_EQ(registrations.size(), 1);
    if (registrations.size() != 1)
        return nullptr;
    PLXRegistrationWindow& registration = *registrations[0];
    registration.getAutomaticPanel().getAllSlicesBox()->setChecked(true);
    QTest::mouseClick(registration.getAutomaticPanel().getRunButton(), Qt::LeftButton);
    return &registration;
}

// A model made in the model dialog as a user would: the list's "Model"
// entry, a typed name, a geometry, a colour, Apply.
void createModel(DialogScript& script, PLXModelDialog& dialog, const QString& name, const QString& geometry,
                 const QColor& colour)
{
    dialog.getModelList()->item(0)->setSelected(true);
    ASSERT_EQ(dialog.getMediator().getMode(), PLXModelDialogMediator::Creation);
    QLineEdit* field = dialog.getNameEditor()->getNameField();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, name);
    QComboBox* box = dialog.getPropertiesEditor()->getGeometryBox();
    box->setCurrentIndex(box->findText(geometry));
    script.value(colour);
    QTest::mouseClick(dialog.getItemPropertiesEditor()->getColorButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.getApplyButton(), Qt::LeftButton);
}

// A row of an exported table: its fields by column name.
std::map<QString, QString> tableRow(const QString& table, const QString& key)
{
    const QStringList lines = table.split('\n', Qt::SkipEmptyParts);
    EXPECT_FALSE(lines.isEmpty());
    if (lines.isEmpty())
        return {};
    const QStringList header = lines[0].split('\t');
    for (const QString& line : lines.mid(1)) {
        const QStringList fields = line.split('\t');
        if (fields.value(0) == key && fields.size() == header.size()) {
            std::map<QString, QString> row;
            for (int i = 0; i < header.size(); ++i)
                row[header[i]] = fields[i];
            return row;
        }
    }
    ADD_FAILURE() << "no row " << key.toStdString();
    return {};
}

double field(const std::map<QString, QString>& row, const QString& prefix)
{
    for (const auto& [name, value] : row)
        if (name.startsWith(prefix))
            return value.toDouble();
    ADD_FAILURE() << "no column " << prefix.toStdString();
    return 0;
}

// Two tables alike: the same text but for numbers equal to six digits.
void expectSameTable(const QString& a, const QString& b)
{
    const QStringList la = a.split('\n'), lb = b.split('\n');
    ASSERT_EQ(la.size(), lb.size()) << a.toStdString() << b.toStdString();
    for (int i = 0; i < la.size(); ++i) {
        const QStringList fa = la[i].split('\t'), fb = lb[i].split('\t');
        ASSERT_EQ(fa.size(), fb.size()) << la[i].toStdString() << " / " << lb[i].toStdString();
        for (int j = 0; j < fa.size(); ++j) {
            bool na = false, nb = false;
            const double x = fa[j].toDouble(&na), y = fb[j].toDouble(&nb);
            if (na && nb)
                EXPECT_NEAR(x, y, 1e-6 * std::max(std::abs(x), 1.0)) << la[i].toStdString();
            else
                EXPECT_EQ(fa[j], fb[j]) << la[i].toStdString();
        }
    }
}

QString runCli(const QStringList& arguments)
{
    QProcess cli;
    cli.start(PLEXAN_CLI, arguments);
    EXPECT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    return QString::fromUtf8(cli.readAllStandardOutput());
}

// An ASCII STL file of a tube open at both ends (the exporter writes no
// caps): its facets, and the volume it encloses once closed by flat ends,
// by the divergence theorem (signed tetrahedra from the origin, plus the
// ends' areas times their heights).
struct Stl {
    int facets = 0;
    int vertices = 0;
    bool closedTags = false;
    double zMin = 0, zMax = 0;
    double volume = 0;
};

using Point3 = std::array<double, 3>;

// The area of the polygon through points of one plane z = const, taken in
// the order of their angles about their centre.
double ringArea(std::vector<Point3> ring)
{
    double cx = 0, cy = 0;
    for (const Point3& p : ring) {
        cx += p[0] / ring.size();
        cy += p[1] / ring.size();
    }
    std::sort(ring.begin(), ring.end(), [&](const Point3& a, const Point3& b) {
        return std::atan2(a[1] - cy, a[0] - cx) < std::atan2(b[1] - cy, b[0] - cx);
    });
    double sum = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Point3& a = ring[i];
        const Point3& b = ring[(i + 1) % ring.size()];
        sum += a[0] * b[1] - b[0] * a[1];
    }
    return std::abs(sum) / 2;
}

Stl readStl(const QString& path)
{
    Stl stl;
    const QStringList lines = readFile(path).split('\n', Qt::SkipEmptyParts);
    stl.closedTags = !lines.isEmpty() && lines.first().trimmed().startsWith("solid") &&
                     lines.last().trimmed().startsWith("endsolid");
    std::vector<Point3> all, corner;
    double signedVolume = 0;
    for (const QString& raw : lines) {
        const QStringList w = raw.simplified().split(' ');
        if (w[0] == "facet")
            ++stl.facets;
        else if (w[0] == "vertex" && w.size() == 4) {
            ++stl.vertices;
            corner.push_back({w[1].toDouble(), w[2].toDouble(), w[3].toDouble()});
            all.push_back(corner.back());
            if (corner.size() == 3) {
                const Point3& a = corner[0];
                const Point3& b = corner[1];
                const Point3& c = corner[2];
                signedVolume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                                 a[2] * (b[0] * c[1] - b[1] * c[0])) /
                                6.0;
                corner.clear();
            }
        }
    }
    if (all.empty())
        return stl;
    const auto [low, high] =
        std::minmax_element(all.begin(), all.end(), [](const Point3& a, const Point3& b) { return a[2] < b[2]; });
    stl.zMin = (*low)[2];
    stl.zMax = (*high)[2];
    std::vector<Point3> bottom, top;
    for (const Point3& p : all) {
        if (std::abs(p[2] - stl.zMin) < 1e-4 && std::find(bottom.begin(), bottom.end(), p) == bottom.end())
            bottom.push_back(p);
        if (std::abs(p[2] - stl.zMax) < 1e-4 && std::find(top.begin(), top.end(), p) == top.end())
            top.push_back(p);
    }
    const double ends = (stl.zMax * ringArea(top) - stl.zMin * ringArea(bottom)) / 3.0;
    stl.volume = std::abs(signedVolume + (signedVolume < 0 ? -ends : ends));
    return stl;
}

} // namespace

TEST(EndToEndDisplay, TheSampleFromOpeningToReopening)
{
    apptest::ServerCleanup cleanup;
    DialogScript script;
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const Screenshots shots(scratch.filePath("screenshots"));

    // A copy of the sample with its images, as a user gets it.
    const QString work = scratch.filePath("study");
    ASSERT_TRUE(QDir().mkpath(work + "/images"));
    const QString source = QStringLiteral(PLEXAN_SOURCE_DIR "/data/sample");
    for (const QString& name : QDir(source + "/images").entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(source + "/images/" + name, work + "/images/" + name));
    const QString file = work + "/specimen.sdf";
    ASSERT_TRUE(QFile::copy(source + "/sample.sdf", file));
    QFile(file).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const std::string original = fileText(file);

    // Open ------------------------------------------------------------------------------
    QPointer<PLXRootWindow> root = new PLXRootWindow;
    root->resize(1100, 760);
    PLXRootMediator& mediator = *root->getMediator();
    script.value(QStringList{file});
    mediator.openStackAction()->trigger();
    ASSERT_EQ(PLXStackServer::stackServer.getNumStacks(), 1);
    PLXStack& stack = *mediator.getCurrentStack();
    ASSERT_EQ(stack.getNumSlices(), 30);
    EXPECT_EQ(documentText(stack), original);
    EXPECT_FALSE(stack.isModified());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(root.data()));

    // Two new structures in the model dialog, caps on the closed ones ----------------
    mediator.editModelsAction()->trigger();
    QList<PLXModelDialog*> dialogs = root->findChildren<PLXModelDialog*>();
    ASSERT_EQ(dialogs.size(), 1);
    PLXModelDialog& models = *dialogs[0];
    script.clear();
    const QColor glandColour(120, 230, 90), cavityColour(240, 60, 200);
    createModel(script, models, "gland", "Polygon", glandColour);
    createModel(script, models, "cavity", "Polygon", cavityColour);
    EXPECT_EQ(script.unexpected(), 0) << script.titles().join(", ").toStdString();
    ASSERT_GE(stack.findModel("gland"), 0);
    ASSERT_GE(stack.findModel("cavity"), 0);
    Model& gland = *stack.getModel(stack.findModel("gland"));
    Model& cavity = *stack.getModel(stack.findModel("cavity"));
    EXPECT_EQ(gland.getGeometry(), MPrimitive::Polygon);

    // Caps on the closed outlines, for the reconstruction.
    setCaps(models, {"organ", "lumen", "gland", "cavity"});
    for (const char* name : {"organ", "lumen", "gland", "cavity"}) {
        const Model& m = *stack.getModel(stack.findModel(name));
        EXPECT_TRUE(m.getProperties().getBeginCapFlag() && m.getProperties().getEndCapFlag()) << name;
    }
    EXPECT_TRUE(stack.isModified());
    // The two creations and the change of caps are three steps of the
    // history; what follows is undone back to here.
    const int modelSteps = 3;
    EXPECT_EQ(stack.history().getNumUndoSteps(), modelSteps);
    EXPECT_EQ(stack.history().getUndoDescription(), "Model properties change");
    const std::string prepared = documentText(stack);
    {
        // The same changes made on the original through the library.
        PLXStack expected;
        ASSERT_TRUE(StackReader().read(expected, file.toStdString()));
        for (const auto& [name, c] : {std::pair{"gland", glandColour}, std::pair{"cavity", cavityColour}}) {
            auto* model = new Model(name);
            model->getProperties().setGeometry(MPrimitive::Polygon);
            model->getItemProperties().setColor(Vector<int>{c.red(), c.green(), c.blue()});
            expected.addModel(model);
        }
        for (const char* name : {"organ", "lumen", "gland", "cavity"}) {
            expected.getModel(expected.findModel(name))->getProperties().setBeginCapFlag(true);
            expected.getModel(expected.findModel(name))->getProperties().setEndCapFlag(true);
        }
        EXPECT_EQ(documentText(expected), prepared);
    }
    shots.save(models, "endtoend-model-dialog.png");
    models.close();

    // Register every slice, then correct one by hand --------------------------------------
    script.clear();
    PLXRegistrationWindow* registered = registerAllSlices(mediator);
    ASSERT_NE(registered, nullptr);
    PLXRegistrationWindow& registration = *registered;
    registration.resize(1000, 720);
    double pixel = 0;
    const std::map<std::string, Placement> known = knownRegistrations(&pixel);
    ASSERT_EQ(known.size(), 29u);
    EXPECT_NEAR(pixel, stack.getSlice(0)->getPixelCalibration().getPixelWidth(), 1e-6);
    for (int k = 1; k < 30; ++k) {
        const StackSlice& slice = *stack.getSlice(k);
        const Registration& r = slice.getRegistration();
        const Placement& p = known.at(slice.getName());
        EXPECT_NEAR(r.getHorizontalShift(), p.x, 3.0) << slice.getName();
        EXPECT_NEAR(r.getVerticalShift(), p.y, 3.0) << slice.getName();
        const double angle = r.getRotationAngle() > 180 ? r.getRotationAngle() - 360 : r.getRotationAngle();
        EXPECT_NEAR(angle, p.angle, 2.5) << slice.getName();
    }
    EXPECT_EQ(stack.history().getNumUndoSteps(), modelSteps + 1);

    // s12 nudged to the right by a drag on the canvas, then applied.
    PLXRegistrationMediator& registering = registration.getMediator();
    registering.setSlice(QStringLiteral("s12"));
    const Registration automatic = stack.getSlice(11)->getRegistration();
    PLXRegistrationCanvas& regCanvas = registration.getCanvas();
    const QPoint centre = regCanvas.getBackgroundCentre().toPoint();
    drag(regCanvas, centre, centre + QPoint(30, 0));
    QTest::mouseClick(registration.getPanel().getButton("Apply"), Qt::LeftButton);
    const Registration corrected = stack.getSlice(11)->getRegistration();
    EXPECT_GT(corrected.getHorizontalShift(), automatic.getHorizontalShift());
    EXPECT_EQ(corrected.getVerticalShift(), automatic.getVerticalShift());
    EXPECT_FLOAT_EQ(corrected.getRotationAngle(), automatic.getRotationAngle());
    EXPECT_EQ(stack.history().getNumUndoSteps(), modelSteps + 2);
    shots.save(registration, "endtoend-registration.png");
    registration.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The gland outlined by hand on s15, roughly: a click every third vertex
    // of the organ's outline there, a tenth of the way in towards its centre.
    for (int k = 0; k < 14; ++k)
        mediator.nextSliceAction()->trigger();
    StackSlice& s15 = *mediator.getCurrentSlice();
    ASSERT_EQ(s15.getName(), "s15");
    PLXRootSliceEditWidget& view = *root->getSliceView();
    view.showActualSize();
    PLXSliceEditWidgetMediator& editor = *view.getEditor();
    PLXSliceEditWidgetCanvas& canvas = *view.getCanvas();
    const auto shown = [&canvas] {
        return QTest::qWaitFor([&canvas] {
            return canvas.getImageProxy().isLoaded() &&
                   canvas.getShownImage() == canvas.getImageProxy().getImagePointer();
        });
    };
    ASSERT_TRUE(shown());
    const ModelItem* organOutline = itemOn(s15, "organ");
    ASSERT_NE(organOutline, nullptr);
    Points clicked;
    const Points organPoints = vertices(*organOutline);
    double cx = 0, cy = 0;
    for (const auto& [x, y] : organPoints) {
        cx += double(x) / organPoints.size();
        cy += double(y) / organPoints.size();
    }
    for (std::size_t i = 0; i < organPoints.size(); i += 3)
        clicked.emplace_back(int(std::lround(cx + 0.9 * (organPoints[i].first - cx))),
                             int(std::lround(cy + 0.9 * (organPoints[i].second - cy))));
    QAction* byHand = nullptr;
    for (QAction* a : editor.getManualMenu()->actions())
        if (a->text() == "gland")
            byHand = a;
    ASSERT_NE(byHand, nullptr);
    byHand->trigger();
    for (const auto& [x, y] : clicked)
        click(canvas, canvas.toWorld(QPoint(x, y)));
    QTest::keyClick(&canvas, Qt::Key_Return);
    const ModelItem* drawn = itemOn(s15, "gland");
    ASSERT_NE(drawn, nullptr);
    {
        // Every vertex is one clicked, and the area the clicks enclose.
        const Points made = vertices(*drawn);
        for (const auto& v : made)
            EXPECT_NE(std::find(clicked.begin(), clicked.end(), v), clicked.end()) << v.first << "," << v.second;
        EXPECT_NEAR(shoelaceArea(made), shoelaceArea(clicked), 0.03 * shoelaceArea(clicked));
    }
    EXPECT_EQ(stack.history().getNumUndoSteps(), modelSteps + 3);
    shots.save(*root, "endtoend-drawn-by-hand.png");

    // A snake from the hand-drawn outline, chosen in the context menu's
    // Select menu, its parameters set and the snake run from its Edit menu:
    // it settles on the organ's edge.
    QAction* selectGland = nullptr;
    for (QAction* a : editor.getSelectMenu()->actions())
        if (a->text() == "gland")
            selectGland = a;
    ASSERT_NE(selectGland, nullptr);
    selectGland->trigger();
    ASSERT_TRUE(editor.snakeParametersAction()->isEnabled());
    script.clear();
    script.modal([&shots](QDialog& d) {
        auto& parameters = dynamic_cast<PLXSnakeConfigDialog&>(d);
        parameters.getScaleBox()->setValue(4);
        parameters.getDistanceBox()->setValue(10);
        shots.save(d, "endtoend-snake-parameters.png");
        return true;
    });
    editor.snakeParametersAction()->trigger();
    EXPECT_EQ(script.unexpected(), 0);
    ASSERT_TRUE(gland.getSnakeConfig());
    EXPECT_EQ(gland.getSnakeConfig()->getScale(), 4u);
    EXPECT_EQ(gland.getSnakeConfig()->getDistance(), 10);
    ASSERT_TRUE(editor.runSnakeAction()->isEnabled());
    editor.runSnakeAction()->trigger();
    ASSERT_EQ(gland.getNumItems(), 2);
    const ModelItem* snaked = nullptr;
    for (const ModelItem* item : s15.getItems())
        if (item->getModel() == &gland && item != drawn)
            snaked = item;
    ASSERT_NE(snaked, nullptr);
    {
        const BoundingBox<int> a = organOutline->boundingBox();
        const BoundingBox<int> b = snaked->boundingBox();
        for (int d = 0; d < 2; ++d) {
            EXPECT_NEAR(a.getVertex1()[d], b.getVertex1()[d], 12);
            EXPECT_NEAR(a.getVertex2()[d], b.getVertex2()[d], 12);
        }
    }
    EXPECT_EQ(stack.history().getNumUndoSteps(), modelSteps + 4);

    // The cavity thresholded on s16 in a region dragged around the lumen.
    mediator.nextSliceAction()->trigger();
    StackSlice& s16 = *mediator.getCurrentSlice();
    ASSERT_EQ(s16.getName(), "s16");
    ASSERT_TRUE(shown());
    const ModelItem* lumen = itemOn(s16, "lumen");
    ASSERT_NE(lumen, nullptr);
    const BoundingBox<int> lumenBox = lumen->boundingBox();
    QAction* threshold = nullptr;
    for (QAction* a : editor.getAutomaticMenu()->actions())
        if (a->text() == "cavity")
            threshold = a;
    ASSERT_NE(threshold, nullptr);
    script.clear();
    script.value(1).value(2);
    threshold->trigger();
    const QPoint from(lumenBox.getVertex1()[0] - 6, lumenBox.getVertex1()[1] - 6);
    const QPoint to(lumenBox.getVertex2()[0] + 6, lumenBox.getVertex2()[1] + 6);
    drag(canvas, canvas.toWorld(from), canvas.toWorld(to));
    EXPECT_EQ(script.unexpected(), 0) << script.titles().join(", ").toStdString();
    const ModelItem* thresholded = itemOn(s16, "cavity");
    ASSERT_NE(thresholded, nullptr);
    EXPECT_EQ(cavity.getNumItems(), 1);
    {
        const BoundingBox<int> b = thresholded->boundingBox();
        for (int d = 0; d < 2; ++d) {
            EXPECT_NEAR(lumenBox.getVertex1()[d], b.getVertex1()[d], 4);
            EXPECT_NEAR(lumenBox.getVertex2()[d], b.getVertex2()[d], 4);
        }
        EXPECT_NEAR(shoelaceArea(vertices(*thresholded)), shoelaceArea(vertices(*lumen)),
                    0.2 * shoelaceArea(vertices(*lumen)));
    }
    EXPECT_EQ(stack.history().getNumUndoSteps(), modelSteps + 5);
    shots.save(*root, "endtoend-thresholded.png");

    // Reconstruct: the rendering window, caps on the closed models -----------------------
    script.clear();
    mediator.reconstructAction()->trigger();
    QList<PLXRenderingWindow*> renderings = shownWindows<PLXRenderingWindow>();
    ASSERT_EQ(renderings.size(), 1);
    PLXRenderingWindow& rendering = *renderings[0];
    rendering.resize(760, 560);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rendering));
    ViewerCanvasGL& viewer = rendering.getCanvas();
    // Turned with the mouse: up to look from below the slices, and a little
    // to the side; the pose panel follows.
    const QPoint middle(viewer.width() / 2, viewer.height() / 2);
    drag(viewer, middle, middle + QPoint(60, -200));
    const Vector<float> turned = viewer.getRotation();
    EXPECT_NE(turned, (Vector<float>{0, 0, 0}));
    // The panel and the poses keep whole degrees.
    const Vector<float> posed = rendering.getPosePanel().getRotation();
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(posed[k], turned[k], 0.5) << angles(posed) << " / " << angles(turned);
    QTest::qWait(200);
    const QImage picture = viewer.grabFramebuffer();
    // The organ covers the middle of the view; the corners show the background.
    const QColor background = picture.pixelColor(2, 2);
    EXPECT_NE(picture.pixelColor(picture.width() / 2, picture.height() / 2), background);
    shots.save(rendering, "endtoend-rendering.png");

    script.value(QStringLiteral("oblique"));
    rendering.getMediator().getRecordPoseAction()->trigger();
    ASSERT_EQ(stack.getNumPoses(), 1);
    EXPECT_EQ(stack.getPose(0)->getName(), "oblique");
    EXPECT_EQ(stack.history().getUndoDescription(), "Pose recording");
    rendering.getMediator().getResetAction()->trigger();
    rendering.getMediator().getSelectPoseMenu()->actions()[0]->trigger();
    EXPECT_EQ(angles(viewer.getRotation()), angles(posed));

    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
        std::cout << "[  SKIPPED ] the turntable video: ffmpeg is not installed\n";
    } else {
        const QString video = scratch.filePath("turntable.mp4");
        script.clear();
        script
            .modal([](QDialog& d) {
                auto& movie = dynamic_cast<PLXMovieDialog&>(d);
                movie.setDuration(1.0);
                movie.setFrameRate(4);
                return true;
            })
            .value(video);
        rendering.getMediator().getTurntableAction()->trigger();
        EXPECT_EQ(script.unexpected(), 0) << script.titles().join(", ").toStdString();
        EXPECT_GT(QFileInfo(video).size(), 0);
        EXPECT_EQ(angles(viewer.getRotation()), angles(posed)) << "the view is left as it was";
    }

    // Save --------------------------------------------------------------------------------
    script.clear();
    mediator.saveStackAction()->trigger();
    EXPECT_FALSE(stack.isModified());
    const std::string edited = documentText(stack);
    EXPECT_EQ(fileText(file), edited);
    EXPECT_NE(edited, original);
    EXPECT_TRUE(readFile(file).contains("POSE \"oblique\""));

    // Measure: the analysis window shows what plexan-cli prints ---------------------------
    mediator.analyzeAction()->trigger();
    PLXAnalysisWindow* analysis = PLXAnalysisWindow::find(stack);
    ASSERT_NE(analysis, nullptr);
    analysis->resize(900, 600);
    ASSERT_TRUE(QTest::qWaitFor([&] { return analysis->getModelTable()->rowCount() == 4; }, 30000));
    const QString table = scratch.filePath("models.tsv");
    script.clear();
    script.value(table);
    analysis->getModelTable()->getExportAction()->trigger();
    EXPECT_EQ(script.unexpected(), 0) << script.titles().join(", ").toStdString();
    const QString measured = readFile(table);
    // The file keeps registration angles to a ten-thousandth of a degree:
    // the saved stack measures the same to six digits (exactly, reopened).
    expectSameTable(measured, runCli({"measure", file, "--geometry", "polygon", "--format", "tsv"}));
    EXPECT_EQ(measured.split('\n', Qt::SkipEmptyParts).size(), 1 + 4) << "a header and the four outlined models";
    const double volume = field(tableRow(measured, "organ"), "Volume");
    // The organ is an ellipsoid of semi-axes 72, 44 and 68 µm.
    const double ellipsoid = 4.0 / 3.0 * std::numbers::pi * 72 * 44 * 68;
    EXPECT_NEAR(volume, ellipsoid, 0.1 * ellipsoid);
    // The gland's items: the hand-drawn outline's area is the one its vertices
    // enclose, in µm².
    analysis->getModelTable()->selectRow(0);
    for (int row = 0; row < analysis->getModelTable()->rowCount(); ++row)
        if (analysis->getModelTable()->item(row, 0)->text() == "gland")
            analysis->getModelTable()->selectRow(row);
    ASSERT_EQ(analysis->getModelName(), "gland");
    ASSERT_TRUE(QTest::qWaitFor([&] { return analysis->getItemTable()->rowCount() == 2; }, 30000));
    const QString itemsFile = scratch.filePath("gland.tsv");
    ASSERT_TRUE(analysis->getItemTable()->exportTo(itemsFile));
    const QString items = readFile(itemsFile);
    expectSameTable(items, runCli({"measure", file, "--model", "gland"}));
    double largest = 0, smallest = 1e300;
    for (const QString& line : items.split('\n', Qt::SkipEmptyParts).mid(1)) {
        const double area = line.split('\t').value(3).toDouble();
        largest = std::max(largest, area);
        smallest = std::min(smallest, area);
    }
    const double handArea = shoelaceArea(vertices(*drawn)) * pixel * pixel;
    EXPECT_TRUE(std::abs(largest - handArea) < 1e-3 * handArea || std::abs(smallest - handArea) < 1e-3 * handArea)
        << handArea << " among " << smallest << ", " << largest;
    shots.save(*analysis, "endtoend-analysis.png");

    // Export the surfaces: one STL per outlined model, closed where capped ---------------
    const QString stlDir = scratch.filePath("stl");
    ASSERT_TRUE(QDir().mkpath(stlDir));
    script.clear();
    script.value(stlDir).button("OK");
    rendering.getMediator().getExportAction()->trigger();
    EXPECT_EQ(script.unexpected(), 0) << script.titles().join(", ").toStdString();
    // The gland, two outlines on one slice, branches: it has no surface.
    EXPECT_EQ(QDir(stlDir).entryList({"*.stl"}, QDir::Files, QDir::Name),
              QStringList({"sample-cavity.stl", "sample-duct.stl", "sample-lumen.stl", "sample-organ.stl"}));
    const QString organStl =
        QString::fromStdString(StackExporter::fileName(*stack.getModel(stack.findModel("organ")),
                                                       stlDir.toStdString(), stack.getName()));
    const Stl organ = readStl(organStl);
    EXPECT_TRUE(organ.closedTags);
    // A tube of 100 contours of 100 vertices: 99 x 100 quads, two triangles each.
    EXPECT_EQ(organ.facets, 2 * 99 * 100);
    EXPECT_EQ(organ.vertices, 3 * organ.facets);
    // From the first section to the last, 29 spacings of 4 µm.
    EXPECT_NEAR(organ.zMin, 0.0, 1e-3);
    EXPECT_NEAR(organ.zMax, 116.0, 1e-3);
    // The ellipsoid between its sections at z = -58 and +58 µm about its centre:
    // pi a b (2h - 2h^3 / 3c^2).
    const double h = 58, truncated = std::numbers::pi * 72 * 44 * (2 * h - 2 * h * h * h / (3.0 * 68 * 68));
    EXPECT_NEAR(organ.volume, truncated, 0.05 * truncated);
    EXPECT_NEAR(organ.volume, volume, 0.05 * volume);

    // Undo everything, then redo it -------------------------------------------------------
    // Five edits and the pose, after the model dialog's three steps.
    const int steps = stack.history().getNumUndoSteps() - modelSteps;
    EXPECT_EQ(steps, 6);
    for (int i = 0; i < steps; ++i)
        mediator.undoAction()->trigger();
    EXPECT_EQ(stack.history().getNumUndoSteps(), modelSteps);
    EXPECT_EQ(documentText(stack), prepared);
    for (int i = 0; i < steps; ++i)
        mediator.redoAction()->trigger();
    EXPECT_FALSE(mediator.redoAction()->isEnabled());
    EXPECT_EQ(documentText(stack), edited);
    ASSERT_TRUE(QTest::qWaitFor([&] { return analysis->getModelTable()->rowCount() == 4; }, 30000));

    // Close and reopen: the saved study comes back whole ---------------------------------
    script.clear();
    script.button("Ignore");
    mediator.closeStackAction()->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(PLXStackServer::stackServer.getNumStacks(), 0);
    EXPECT_TRUE(shownWindows<PLXRenderingWindow>().isEmpty()) << "tool windows close with their stack";
    script.clear();
    script.value(QStringList{file});
    mediator.openStackAction()->trigger();
    ASSERT_EQ(PLXStackServer::stackServer.getNumStacks(), 1);
    PLXStack& reopened = *mediator.getCurrentStack();
    EXPECT_EQ(documentText(reopened), edited);
    EXPECT_EQ(reopened.getNumPoses(), 1);
    EXPECT_EQ(reopened.getSlice(11)->getRegistration().getHorizontalShift(), corrected.getHorizontalShift());
    EXPECT_NEAR(reopened.getSlice(11)->getRegistration().getRotationAngle(), corrected.getRotationAngle(), 1e-4);
    ASSERT_TRUE(shown()) << "the reopened stack's current slice image is never shown";
    shots.save(*root, "endtoend-reopened.png");
    mediator.analyzeAction()->trigger();
    PLXAnalysisWindow* again = PLXAnalysisWindow::find(reopened);
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return again->getModelTable()->rowCount() == 4; }, 30000));
    const QString remeasured = scratch.filePath("models-reopened.tsv");
    ASSERT_TRUE(again->getModelTable()->exportTo(remeasured));
    EXPECT_EQ(readFile(remeasured), runCli({"measure", file, "--geometry", "polygon", "--format", "tsv"}));
    expectSameTable(readFile(remeasured), measured);
    delete root.data();
}

// A second session on a specimen several times the sample's size (generated
// here: 40 sections of 384 x 384 pixels, 2.9 times the sample's pixels),
// the same organ cut finer: open; caps on the closed structures; register
// every slice (against the slide placements the specimen was drawn with);
// reconstruct; save; measure (against the specimen's true volumes, and the
// same numbers as plexan-cli prints for the saved file).
TEST(EndToEndDisplay, ALargerSpecimenRegisteredReconstructedAndMeasured)
{
    apptest::ServerCleanup cleanup;
    DialogScript script;
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const int sections = 40;
    const QString dir = scratch.filePath("larger");
    // Each stage's time, and the longest the GUI thread went without
    // handling events in it (printed: how long the windows froze).
    QElapsedTimer clock, sinceTick;
    clock.start();
    sinceTick.start();
    qint64 longestFreeze = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestFreeze = std::max(longestFreeze, sinceTick.restart()); });
    ticker.start(5);
    const auto stage = [&](const char* name) {
        longestFreeze = std::max(longestFreeze, sinceTick.restart());
        std::cout << "[ stage    ] " << name << ": " << clock.restart() << " ms, the GUI thread busy for at most "
                  << longestFreeze << " ms at once\n";
        longestFreeze = 0;
    };
    {
        QProcess maker;
        maker.start(PLEXAN_MAKE_SAMPLE, {"--sections", QString::number(sections), "--size", "384x384", dir});
        ASSERT_TRUE(maker.waitForFinished(120000));
        ASSERT_EQ(maker.exitCode(), 0) << maker.readAllStandardError().toStdString();
    }
    stage("generate (the test itself waits)");
    const QString file = dir + "/sample.sdf";
    const QString description = dir + "/specimen.txt";

    // Open --------------------------------------------------------------------------------
    QPointer<PLXRootWindow> root = new PLXRootWindow;
    root->resize(1100, 760);
    PLXRootMediator& mediator = *root->getMediator();
    script.value(QStringList{file});
    mediator.openStackAction()->trigger();
    ASSERT_EQ(PLXStackServer::stackServer.getNumStacks(), 1);
    PLXStack& stack = *mediator.getCurrentStack();
    ASSERT_EQ(stack.getNumSlices(), sections);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(root.data()));
    stage("open");

    // Caps on the closed structures, in the model dialog ---------------------------------
    mediator.editModelsAction()->trigger();
    QList<PLXModelDialog*> dialogs = root->findChildren<PLXModelDialog*>();
    ASSERT_EQ(dialogs.size(), 1);
    PLXModelDialog& models = *dialogs[0];
    setCaps(models, {"organ", "lumen"});
    models.close();

    // Register every slice ---------------------------------------------------------------
    script.clear();
    PLXRegistrationWindow* registered = registerAllSlices(mediator);
    ASSERT_NE(registered, nullptr);
    PLXRegistrationWindow& registration = *registered;
    stage("register all");
    double pixel = 0;
    const std::map<std::string, Placement> known = knownRegistrations(description, &pixel);
    ASSERT_EQ(known.size(), std::size_t(sections - 1));
    EXPECT_NEAR(pixel, stack.getSlice(0)->getPixelCalibration().getPixelWidth(), 1e-6);
    EXPECT_LT(pixel, 0.8) << "finer pixels than the sample's";
    // Within 2.4 µm (the sample's 3 pixels) and 2.5 degrees.
    const double tolerance = 2.4 / pixel;
    for (int k = 1; k < sections; ++k) {
        const StackSlice& slice = *stack.getSlice(k);
        const Registration& r = slice.getRegistration();
        const Placement& p = known.at(slice.getName());
        EXPECT_NEAR(r.getHorizontalShift(), p.x, tolerance) << slice.getName();
        EXPECT_NEAR(r.getVerticalShift(), p.y, tolerance) << slice.getName();
        const double angle = r.getRotationAngle() > 180 ? r.getRotationAngle() - 360 : r.getRotationAngle();
        EXPECT_NEAR(angle, p.angle, 2.5) << slice.getName();
    }
    // The caps, then the registration.
    EXPECT_EQ(stack.history().getNumUndoSteps(), 2);
    registration.close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Reconstruct --------------------------------------------------------------------------
    script.clear();
    mediator.reconstructAction()->trigger();
    QList<PLXRenderingWindow*> renderings = shownWindows<PLXRenderingWindow>();
    ASSERT_EQ(renderings.size(), 1);
    PLXRenderingWindow& rendering = *renderings[0];
    rendering.resize(760, 560);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rendering));
    QTest::qWait(100);
    const QImage picture = rendering.getCanvas().grabFramebuffer();
    EXPECT_NE(picture.pixelColor(picture.width() / 2, picture.height() / 2), picture.pixelColor(2, 2))
        << "the organ covers the middle of the view";
    stage("reconstruct");

    // Save and measure -------------------------------------------------------------------
    mediator.saveStackAction()->trigger();
    EXPECT_FALSE(stack.isModified());
    mediator.analyzeAction()->trigger();
    PLXAnalysisWindow* analysis = PLXAnalysisWindow::find(stack);
    ASSERT_NE(analysis, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return analysis->getModelTable()->rowCount() == 2; }, 30000));
    stage("save and measure");
    const QString table = scratch.filePath("models.tsv");
    ASSERT_TRUE(analysis->getModelTable()->exportTo(table));
    const QString measured = readFile(table);
    expectSameTable(measured, runCli({"measure", file, "--geometry", "polygon", "--format", "tsv"}));
    // A model's volume adds each section's area times the spacing, so it
    // counts half a spacing beyond the first and last sections (the organ's
    // end sections are 2700 µm², +0.9 % of its volume here), and the outlines
    // are polygons inscribed in the true sections (a little less): within
    // 2 % of the truth.
    for (const char* name : {"organ", "lumen"}) {
        const double truth = apptest::trueVolume(description, name);
        ASSERT_GT(truth, 0) << name;
        const double volume = field(tableRow(measured, name), "Volume");
        std::cout << "[ volume   ] " << name << ": " << volume << " µm³, true " << truth << " µm³\n";
        EXPECT_NEAR(volume, truth, 0.02 * truth) << name;
    }
    EXPECT_EQ(script.unexpected(), 0) << script.titles().join(", ").toStdString();
    delete root.data();
}
