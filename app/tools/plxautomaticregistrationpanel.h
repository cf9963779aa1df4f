#pragma once
// PLXAutomaticRegistrationPanel: the group "Automatic registration (beta)":
// "Register all slices" and a run button, which emits runClicked() with the
// configuration chosen.
//
// The slices are aligned by their principal axes (see SliceRegistration).
// A choice of method belongs in the configuration and in this group, beside
// "Register all slices", once the library offers another.

#include <QGroupBox>

class QCheckBox;
class QPushButton;

struct PLXAutomaticRegistrationConfig {
    // Every slice from the second on, rather than the current slice alone.
    bool registerAllSlices = false;
};

class PLXAutomaticRegistrationPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit PLXAutomaticRegistrationPanel(QWidget* parent = nullptr);

    PLXAutomaticRegistrationConfig getConfig() const;
    QCheckBox* getAllSlicesBox() const { return m_allSlices; }
    QPushButton* getRunButton() const { return m_run; }

signals:
    void runClicked(const PLXAutomaticRegistrationConfig& config);

private:
    QCheckBox* m_allSlices;
    QPushButton* m_run;
};
