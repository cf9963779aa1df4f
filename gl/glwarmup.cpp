#include "gl/glwarmup.h"

#include "gl/viewercanvasgl.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QThread>

#include <GL/gl.h>
#include <dlfcn.h>
#include <link.h>

#include <atomic>
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

// One lit triangle in the views' state, drawn and finished: the renderer
// generates its code for that state now.
void drawLitTriangle()
{
    ViewerCanvasGL::applySurfaceState();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBegin(GL_TRIANGLES);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glColor3f(1.0f, 0.5f, 0.0f);
    glVertex3f(-0.5f, -0.5f, 0.0f);
    glVertex3f(0.5f, -0.5f, 0.0f);
    glVertex3f(0.0f, 0.5f, 0.0f);
    glEnd();
    glFinish();
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
    drawLitTriangle();
    keepDriverLoaded();
    context.doneCurrent();
    warm = true;
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
