#include "app/tools/plxmoviedialog.h"

#include "app/tools/plxcamerapath.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

PLXMovieDialog::PLXMovieDialog(const QString& title, double seconds, int fps, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(title);
    m_duration = new QDoubleSpinBox;
    m_duration->setRange(0.5, 600.0);
    m_duration->setDecimals(1);
    m_duration->setSingleStep(0.5);
    m_duration->setSuffix(tr(" s"));
    m_duration->setValue(seconds);
    m_rate = new QSpinBox;
    m_rate->setRange(1, 60);
    m_rate->setSuffix(tr(" fps"));
    m_rate->setValue(fps);
    m_frames = new QLabel;

    auto* form = new QFormLayout;
    form->addRow(tr("Duration:"), m_duration);
    form->addRow(tr("Frame rate:"), m_rate);
    form->addRow(tr("Number of frames:"), m_frames);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(m_duration, &QDoubleSpinBox::valueChanged, this, &PLXMovieDialog::updateFrames);
    connect(m_rate, &QSpinBox::valueChanged, this, &PLXMovieDialog::updateFrames);
    updateFrames();
}

double PLXMovieDialog::getDuration() const
{
    return m_duration->value();
}

void PLXMovieDialog::setDuration(double seconds)
{
    m_duration->setValue(seconds);
}

int PLXMovieDialog::getFrameRate() const
{
    return m_rate->value();
}

void PLXMovieDialog::setFrameRate(int fps)
{
    m_rate->setValue(fps);
}

int PLXMovieDialog::getNumFrames() const
{
    return PLXCameraPath::frameCount(getDuration(), getFrameRate());
}

void PLXMovieDialog::updateFrames()
{
    m_frames->setText(QString::number(getNumFrames()));
}
