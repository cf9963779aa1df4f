#include "app/plxnewstackdialog.h"

#include "app/plxstackimagelisteditor.h"
#include "app/plxstackserver.h"
#include "app/tools/plxstackpropertieseditor.h"
#include "gl/dialogs.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

PLXNewStackDialog::PLXNewStackDialog(QWidget* parent)
    : QDialog(parent), m_properties(new PLXStackPropertiesEditor(PLXStackPropertiesEditor::StackProperties, this)),
      m_images(new PLXStackImageListEditor(this)), m_done(new QPushButton(QStringLiteral("Done"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setWindowTitle(QStringLiteral("New stack"));
    setName(QString::asprintf("stack%d", PLXStackServer::getSessionNumStacks() + 1));
    PixelCalibration micrometres;
    micrometres.setLengthUnit(LengthUnit(-6));
    setPixelCalibration(micrometres);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_done);
    buttons->addWidget(m_cancel);
    m_done->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_properties);
    layout->addWidget(m_images, 1);
    layout->addLayout(buttons);
    connect(m_done, &QPushButton::clicked, this, &PLXNewStackDialog::validate);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void PLXNewStackDialog::setName(const QString& name)
{
    m_properties->setName(name);
}

QString PLXNewStackDialog::getName() const
{
    return m_properties->getName().simplified();
}

void PLXNewStackDialog::setSliceSpacing(float spacing)
{
    m_properties->setSliceSpacing(spacing);
}

float PLXNewStackDialog::getSliceSpacing() const
{
    return m_properties->getSliceSpacing();
}

void PLXNewStackDialog::setPixelCalibration(const PixelCalibration& calibration)
{
    m_properties->setLengthUnit(calibration.getLengthUnit());
    m_properties->setPixelCalibration(calibration);
}

PixelCalibration PLXNewStackDialog::getPixelCalibration() const
{
    return m_properties->getPixelCalibration();
}

bool PLXNewStackDialog::getAbsoluteImagesPath() const
{
    return m_properties->getAbsoluteImagesPath();
}

QStringList PLXNewStackDialog::getImageList() const
{
    return m_images->getImageList();
}

void PLXNewStackDialog::validate()
{
    if (m_properties->isValid() && !getImageList().isEmpty()) {
        accept();
        return;
    }
    Dialogs::message(this, QMessageBox::Warning, QStringLiteral("Error"),
                     QStringLiteral("The stack cannot be created because\nthere are undefined or invalid fields"),
                     {QStringLiteral(" OK ")});
}
