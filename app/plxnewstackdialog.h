#pragma once
// PLXNewStackDialog: "New stack": the stack's properties (name, length unit,
// slice spacing, path policy, pixel calibration) above the list of its
// images, with "Done" and "Cancel". The name starts as "stack<n>", n the
// number of stacks opened so far plus one. "Done" accepts only valid,
// complete fields (a warning box "Error" says so otherwise, and the dialog
// stays open). Run it with Dialogs::exec(dialog).

#include "image/pixelcalibration.h"

#include <QDialog>
#include <QStringList>

class PLXStackImageListEditor;
class PLXStackPropertiesEditor;
class QPushButton;

class PLXNewStackDialog : public QDialog {
    Q_OBJECT
public:
    explicit PLXNewStackDialog(QWidget* parent = nullptr);

    void setName(const QString& name);
    // With white space simplified.
    QString getName() const;
    void setSliceSpacing(float spacing);
    float getSliceSpacing() const;
    void setPixelCalibration(const PixelCalibration& calibration);
    PixelCalibration getPixelCalibration() const;
    bool getAbsoluteImagesPath() const;
    QStringList getImageList() const;

    PLXStackPropertiesEditor* getPropertiesEditor() const { return m_properties; }
    PLXStackImageListEditor* getImageListEditor() const { return m_images; }
    QPushButton* getDoneButton() const { return m_done; }
    QPushButton* getCancelButton() const { return m_cancel; }

public slots:
    // Accepts the dialog when every field is valid and there are images.
    void validate();

private:
    PLXStackPropertiesEditor* m_properties;
    PLXStackImageListEditor* m_images;
    QPushButton* m_done;
    QPushButton* m_cancel;
};
