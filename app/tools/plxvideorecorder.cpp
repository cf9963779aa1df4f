#include "app/tools/plxvideorecorder.h"

#include "app/tools/plxframewriter.h"
#include "app/tools/plxvideoencoder.h"
#include "gl/dialogs.h"
#include "gl/viewercanvasgl.h"

#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

PLXVideoRecorder::PLXVideoRecorder(ViewerCanvasGL& canvas, const QString& program, const QString& suggestedName,
                                   QWidget* parent)
    : QDialog(parent), m_canvas(canvas), m_program(program), m_suggestedName(suggestedName),
      m_directory(QDir::tempPath() + QStringLiteral("/plexan-frames-XXXXXX"))
{
    setWindowTitle(tr("Create Video Dialog"));
    m_rate = new QSpinBox;
    m_rate->setRange(1, 100);
    m_rate->setValue(20);
    m_rate->setSuffix(tr(" fps"));
    auto* rateRow = new QFormLayout;
    rateRow->addRow(tr("Frame per seconds"), m_rate);

    auto* information = new QGroupBox(tr("Informations"));
    auto* informationRows = new QFormLayout(information);
    m_frames = new QLabel;
    m_duration = new QLabel;
    informationRows->addRow(tr("Number of frames:"), m_frames);
    informationRows->addRow(tr("duration (seconds):"), m_duration);

    m_recordButton = new QPushButton(tr("Record"));
    m_stopButton = new QPushButton(tr("Stop"));
    m_cancelButton = new QPushButton(tr("Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_recordButton);
    buttons->addWidget(m_stopButton);
    buttons->addWidget(m_cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rateRow);
    layout->addWidget(information);
    layout->addLayout(buttons);

    connect(m_recordButton, &QPushButton::clicked, this, &PLXVideoRecorder::record);
    connect(m_stopButton, &QPushButton::clicked, this, &PLXVideoRecorder::stop);
    connect(m_cancelButton, &QPushButton::clicked, this, &PLXVideoRecorder::reject);
    connect(&m_timer, &QTimer::timeout, this, &PLXVideoRecorder::grabFrame);

    if (m_directory.isValid())
        m_writer = std::make_unique<PLXFrameWriter>(m_directory.path());
    updateInformation();
}

PLXVideoRecorder::~PLXVideoRecorder()
{
    m_timer.stop();
    discardFrames();
}

bool PLXVideoRecorder::isValid() const
{
    return m_writer != nullptr;
}

QString PLXVideoRecorder::getFrameDirectory() const
{
    return m_directory.path();
}

int PLXVideoRecorder::getFrameRate() const
{
    return m_rate->value();
}

void PLXVideoRecorder::setFrameRate(int fps)
{
    m_rate->setValue(fps);
}

int PLXVideoRecorder::getNumFrames() const
{
    return m_writer ? m_writer->getNumFrames() : 0;
}

void PLXVideoRecorder::updateInformation()
{
    const int frames = getNumFrames();
    m_frames->setText(QString::number(frames));
    m_duration->setText(QString::number(static_cast<double>(frames) / getFrameRate(), 'f', 1));
    m_rate->setEnabled(frames == 0 && !isRecording());
    m_recordButton->setEnabled(isValid() && !isRecording());
    m_stopButton->setEnabled(isRecording() || frames > 0);
}

void PLXVideoRecorder::record()
{
    if (!isValid() || isRecording())
        return;
    m_timer.start(1000 / getFrameRate());
    updateInformation();
}

void PLXVideoRecorder::grabFrame()
{
    // The writer waits for the previous frame: the view is grabbed only once
    // that one is on its way to the disk.
    m_writer->write(m_canvas.grabFramebuffer());
    if (m_writer->hasFailed()) {
        m_timer.stop();
        m_error = m_writer->getError();
        Dialogs::warning(this, tr("Video"), m_error);
        discardFrames();
    }
    updateInformation();
}

void PLXVideoRecorder::stop()
{
    m_timer.stop();
    if (!isValid())
        return;
    const bool written = m_writer->finish();
    updateInformation();
    if (!written || m_writer->getNumFrames() == 0) {
        if (!written) {
            m_error = m_writer->getError();
            Dialogs::warning(this, tr("Video"), m_error);
            discardFrames();
        }
        return;
    }
    QString file = Dialogs::getSaveFileName(this, tr("Save video"), m_suggestedName, PLXVideoEncoder::nameFilter());
    if (file.isEmpty()) {
        discardFrames();
        return;
    }
    const QString named = PLXVideoEncoder::withKnownExtension(file);
    if (named != file && QFileInfo::exists(named) &&
        Dialogs::question(this, tr("Save video"), tr("%1 already exists.\nDo you want to replace it?").arg(named)) !=
            QMessageBox::Yes) {
        discardFrames();
        return;
    }
    PLXVideoEncoder encoder(m_program);
    const bool made = encoder.encode(m_writer->getDirectory(), m_writer->getNumFrames(), getFrameRate(), named, this);
    discardFrames();
    if (made) {
        m_error.clear();
        emit videoWritten(named);
        accept();
        return;
    }
    m_error = encoder.getError();
    if (!encoder.wasCanceled())
        Dialogs::warning(this, tr("Video"), m_error);
}

void PLXVideoRecorder::reject()
{
    m_timer.stop();
    discardFrames();
    QDialog::reject();
}

void PLXVideoRecorder::discardFrames()
{
    if (!m_writer)
        return;
    m_writer->finish();
    m_writer->restart();
    // The frames go; the directory stays for another recording until the
    // dialog goes.
    QDir directory(m_directory.path());
    for (const QString& name : directory.entryList(QDir::Files))
        directory.remove(name);
    updateInformation();
}
