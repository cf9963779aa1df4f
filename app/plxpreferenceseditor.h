#pragma once
// PLXPreferencesEditor: the five preference controls ("Maximum number of
// backup files", "Automatic contour decimation", "Display image labels in
// panoramas", "Mouse click tolerance", "Background color"). Emits
// preferencesChanged() on any change made by the user or by setPreferences.

#include <QWidget>

class ColorSelector;
class PLXPreferences;
class QCheckBox;
class QSpinBox;

class PLXPreferencesEditor : public QWidget {
    Q_OBJECT
public:
    explicit PLXPreferencesEditor(QWidget* parent = nullptr);

    // Shows the current values.
    void setPreferences(const PLXPreferences& preferences);
    // Stores the edited values as the current ones.
    void getPreferences(PLXPreferences& preferences) const;

    QSpinBox* getMaxNumBackupsBox() const { return m_backups; }
    QCheckBox* getAutoDecimationBox() const { return m_decimation; }
    QCheckBox* getPanoramaLabelsBox() const { return m_labels; }
    QSpinBox* getClickToleranceBox() const { return m_tolerance; }
    ColorSelector* getBackgroundColorSelector() const { return m_color; }

signals:
    void preferencesChanged();

private:
    QSpinBox* m_backups;
    QCheckBox* m_decimation;
    QCheckBox* m_labels;
    QSpinBox* m_tolerance;
    ColorSelector* m_color;
};
