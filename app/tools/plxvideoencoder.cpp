#include "app/tools/plxvideoencoder.h"

#include "app/plxprogressdialog.h"
#include "app/plxworker.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QProcess>
#include <QTemporaryFile>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

// How long the encoder may take to start.
constexpr int startTimeout = 10000;

// The last lines of the encoder's error output, for a message.
QString lastLines(const QByteArray& text, int count)
{
    QStringList lines = QString::fromLocal8Bit(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    while (lines.size() > count)
        lines.removeFirst();
    return lines.join(QLatin1Char('\n'));
}

} // namespace

PLXVideoEncoder::PLXVideoEncoder(const QString& program) : m_program(program) {}

QStringList PLXVideoEncoder::extensions()
{
    return {QStringLiteral("mp4"), QStringLiteral("mov"), QStringLiteral("avi"), QStringLiteral("flv"),
            QStringLiteral("mpg")};
}

QString PLXVideoEncoder::nameFilter()
{
    return QStringLiteral("*.flv;;*.mov;;*.avi;;*.mpg;;*.mp4");
}

QString PLXVideoEncoder::withKnownExtension(const QString& name)
{
    if (extensions().contains(QFileInfo(name).suffix().toLower()))
        return name;
    return name + QStringLiteral(".mp4");
}

QStringList PLXVideoEncoder::arguments(const QString& pattern, int first, int fps, const QString& output)
{
    const QString rate = QString::number(fps);
    QStringList args{QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                     QStringLiteral("error"), QStringLiteral("-y"),
                     // Input: the numbered frames at the chosen rate.
                     QStringLiteral("-framerate"), rate, QStringLiteral("-start_number"), QString::number(first),
                     QStringLiteral("-i"), pattern,
                     // No sound; H.264 wants even sizes and 4:2:0 for players.
                     QStringLiteral("-an"), QStringLiteral("-vf"), QStringLiteral("pad=ceil(iw/2)*2:ceil(ih/2)*2"),
                     QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-pix_fmt"),
                     QStringLiteral("yuv420p"), QStringLiteral("-b:v"), QStringLiteral("10000k"),
                     QStringLiteral("-r"), rate};
    const QString suffix = QFileInfo(output).suffix().toLower();
    if (suffix == QLatin1String("mp4") || suffix == QLatin1String("mov"))
        args << QStringLiteral("-movflags") << QStringLiteral("+faststart");
    // Progress as "frame=N" lines on the standard output.
    args << QStringLiteral("-progress") << QStringLiteral("pipe:1") << QStringLiteral("-nostats");
    // "file:" keeps a name with a colon from being taken for a protocol.
    args << QStringLiteral("file:") + output;
    return args;
}

bool PLXVideoEncoder::encode(const QString& directory, int numFrames, int fps, const QString& output,
                             QWidget* parent)
{
    m_error.clear();
    m_canceled = false;
    const QFileInfo target(output);
    if (!target.absoluteDir().exists()) {
        m_error = QObject::tr("The folder of %1 does not exist.").arg(output);
        return false;
    }
    if (target.exists() && !target.isFile()) {
        m_error = QObject::tr("%1 is not a file.").arg(output);
        return false;
    }
    // The encoder writes aside; the video takes its name once complete.
    QTemporaryFile partial(target.absolutePath() + QStringLiteral("/.plexan-video-XXXXXX.") + target.suffix());
    if (!partial.open()) {
        m_error = QObject::tr("Cannot write in the folder of %1.").arg(output);
        return false;
    }
    partial.close();

    QString pattern = QDir(directory).absolutePath();
    pattern.replace(QLatin1Char('%'), QStringLiteral("%%"));
    pattern += QStringLiteral("/%04d.png");
    const QStringList args = arguments(pattern, 1, fps, partial.fileName());
    const QString program = m_program;

    QString error;
    bool canceled = false;
    PLXWorker worker;
    PLXProgressDialog dialog(QObject::tr("Making the video"), parent);
    dialog.setLabelText(QObject::tr("Encoding %1 frames...").arg(numFrames));
    worker.getProgress().addMonitor(dialog);
    worker.run(
        [&](PLXProgressProxy& progress) {
            QProcess process;
            process.setProgram(program);
            process.setArguments(args);
            process.setStandardInputFile(QProcess::nullDevice());
            process.start();
            if (!process.waitForStarted(startTimeout)) {
                error = QObject::tr("The video encoder %1 could not be started.").arg(program);
                return;
            }
            QByteArray pending;
            auto readProgress = [&] {
                pending += process.readAllStandardOutput();
                int end;
                while ((end = static_cast<int>(pending.indexOf('\n'))) >= 0) {
                    const QByteArray line = pending.left(end).trimmed();
                    pending.remove(0, end + 1);
                    if (line.startsWith("frame=")) {
                        const int frame = line.mid(6).toInt();
                        progress.notifyProgressed(static_cast<unsigned>(std::min(frame, numFrames)),
                                                  static_cast<unsigned>(numFrames));
                    }
                }
            };
            while (!process.waitForFinished(100)) {
                readProgress();
                if (progress.isCanceled()) {
                    process.kill();
                    process.waitForFinished();
                    canceled = true;
                    return;
                }
                if (process.state() == QProcess::NotRunning)
                    break;
            }
            readProgress();
            if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
                const QString detail = lastLines(process.readAllStandardError(), 6);
                error = QObject::tr("The video encoder %1 failed").arg(program) +
                        (detail.isEmpty() ? QStringLiteral(".") : QStringLiteral(":\n\n") + detail);
            }
        },
        &dialog);
    worker.getProgress().removeMonitor(dialog);
    if (canceled || worker.isCanceled()) {
        m_canceled = true;
        return false;
    }
    if (!error.isEmpty()) {
        m_error = error;
        return false;
    }
    if (QFileInfo(partial.fileName()).size() <= 0) {
        m_error = QObject::tr("The video encoder %1 made no video.").arg(program);
        return false;
    }
    std::error_code code;
    std::filesystem::rename(QFile::encodeName(partial.fileName()).toStdString(),
                            QFile::encodeName(target.absoluteFilePath()).toStdString(), code);
    if (code) {
        m_error = QObject::tr("Could not write %1:\n%2").arg(output, QString::fromStdString(code.message()));
        return false;
    }
    partial.setAutoRemove(false);
    return true;
}
