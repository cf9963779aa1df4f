#include "gl/glwarmup.h"

#include "gl/backgroundgl.h"
#include "gl/viewercanvasgl.h"

#include <QColor>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QOpenGLFramebufferObject>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QThread>

#include <GL/gl.h>
#include <dlfcn.h>
#include <link.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<QThread>& warmUpThread()
{
    static std::unique_ptr<QThread> thread;
    return thread;
}

std::atomic<bool> warm{false};

// A small lit surface: a band of a cylinder, two levels of eight columns,
// drawn as the surface painters do (vertex and normal arrays, a strip).
struct Band {
    float xyz[16][3];
    float normals[16][3];
    unsigned int strip[18];
    Band()
    {
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 8; ++c) {
                const float a = 6.2831853f * static_cast<float>(c) / 8.0f;
                const float x = std::cos(a), y = std::sin(a);
                float* p = xyz[r * 8 + c];
                p[0] = 0.6f * x;
                p[1] = r == 0 ? -0.6f : 0.6f;
                p[2] = 0.6f * y;
                float* n = normals[r * 8 + c];
                n[0] = x;
                n[1] = 0.0f;
                n[2] = y;
            }
        for (int c = 0; c <= 8; ++c) {
            strip[2 * c] = static_cast<unsigned int>(8 + c % 8);
            strip[2 * c + 1] = static_cast<unsigned int>(c % 8);
        }
    }
    void draw() const
    {
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_NORMAL_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, xyz);
        glNormalPointer(GL_FLOAT, 0, normals);
        glDrawElements(GL_TRIANGLE_STRIP, 18, GL_UNSIGNED_INT, strip);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
    }
    void drawLines() const
    {
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, xyz);
        glDrawArrays(GL_LINE_STRIP, 0, 8);
        glDrawArrays(GL_POINTS, 8, 8);
        glDisableClientState(GL_VERTEX_ARRAY);
    }
};

// One frame of a 3D view, drawn as the views draw theirs: into a
// multisampled frame buffer with a depth and stencil buffer, resolved into
// a plain one as a GL widget does; the views' lit, two-sided, smooth state,
// the gradient background, opaque surfaces in a material colour with and
// without shininess, lines and points, then a transparent surface blended
// over them. The renderer generates its code for these states now, rather
// than in the first view's first frame. Whether the frame came out as drawn:
// the opaque surface lit in its colour in the middle, the background at a
// corner.
bool drawViewsFrame()
{
    constexpr int size = 32;
    QOpenGLFramebufferObjectFormat multisampled;
    multisampled.setSamples(4);
    multisampled.setAttachment(QOpenGLFramebufferObject::CombinedDepthStencil);
    QOpenGLFramebufferObject frame(size, size, multisampled);
    QOpenGLFramebufferObject resolved(size, size);
    if (!frame.isValid() || !resolved.isValid() || !frame.bind())
        return false;
    glViewport(0, 0, size, size);
    ViewerCanvasGL::applySurfaceState();
    glEnable(GL_MULTISAMPLE);
    BackgroundGL().glDraw();

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.0, 1.0, -1.0, 1.0, -2.0, 2.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat position[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    const GLfloat grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, grey);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, grey);
    glLightfv(GL_LIGHT0, GL_SPECULAR, grey);
    glRotatef(20.0f, 1.0f, 0.0f, 0.0f);

    const Band band;
    // Opaque, in a material colour, without and with shininess.
    glEnable(GL_COLOR_MATERIAL);
    glColor4ub(230, 150, 90, 255);
    band.draw();
    const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 40.0f);
    glPushMatrix();
    glScalef(0.5f, 0.5f, 0.5f);
    band.draw();
    glPopMatrix();
    glLineWidth(1.0f);
    glPointSize(2.0f);
    band.drawLines();
    glDisable(GL_COLOR_MATERIAL);
    // Transparent: the colour blended, the frame's alpha and depth kept.
    glDepthMask(GL_FALSE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_COLOR_MATERIAL);
    glColor4ub(70, 110, 230, 110);
    glPushMatrix();
    glTranslatef(0.6f, 0.6f, 0.0f);
    glScalef(0.3f, 0.3f, 0.3f);
    band.draw();
    glPopMatrix();
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_BLEND);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);

    frame.release();
    QOpenGLFramebufferObject::blitFramebuffer(&resolved, &frame);
    const QImage image = resolved.toImage();
    glFinish();
    if (image.isNull())
        return false;
    const QColor middle = image.pixelColor(size / 2, size / 2);
    const QColor corner = image.pixelColor(0, 0);
    return middle.red() > middle.blue() + 30 && middle != corner;
}

// Keeps the driver's libraries loaded for the life of the program: the
// warm-up context going away would otherwise let them be unloaded, and the
// first 3D window would load them again, which is what the warm-up is for.
void keepDriverLoaded()
{
    std::vector<std::string> names;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            const char* name = info->dlpi_name;
            if (name && (std::strstr(name, "_dri.so") || std::strstr(name, "libgallium") ||
                         std::strstr(name, "libLLVM") || std::strstr(name, "libGLX_mesa")))
                static_cast<std::vector<std::string>*>(data)->emplace_back(name);
            return 0;
        },
        &names);
    for (const std::string& name : names)
        dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
}

void warmUp()
{
    // The surface is made here too (an X server's is a pixel buffer, which
    // any thread may make): making it loads the driver.
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setSamples(4);
    QOffscreenSurface surface;
    surface.setFormat(format);
    surface.create();
    if (!surface.isValid())
        return;
    QOpenGLContext context;
    context.setFormat(format);
    if (!context.create() || !context.makeCurrent(&surface))
        return;
    const bool drawn = drawViewsFrame();
    keepDriverLoaded();
    context.doneCurrent();
    warm = drawn;
}

} // namespace

void GLWarmUp::start()
{
    std::unique_ptr<QThread>& thread = warmUpThread();
    // Only on X, where offscreen surfaces are pixel buffers rather than
    // windows (which only the GUI thread may make); elsewhere the first 3D
    // window does it all, as before.
    if (thread || !qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    thread.reset(QThread::create(warmUp));
    thread->setObjectName(QStringLiteral("GL warm-up"));
    // Never outlives the application: the offscreen surface needs it.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] { GLWarmUp::wait(); });
    thread->start(QThread::LowPriority);
}

void GLWarmUp::wait()
{
    if (const std::unique_ptr<QThread>& thread = warmUpThread())
        thread->wait();
}

bool GLWarmUp::isFinished()
{
    const std::unique_ptr<QThread>& thread = warmUpThread();
    return thread && thread->isFinished();
}

bool GLWarmUp::isWarm()
{
    return warm;
}
