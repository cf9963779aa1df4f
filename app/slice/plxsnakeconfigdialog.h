#pragma once
// PLXSnakeConfigDialog: the snake tool's parameters. The model's active
// contour parameters (edge threshold, search distance, regularisation,
// edge-map smoothing, reduction factor, adaptive mode) and the tool's own
// two choices: run on every slice of the stack, and start each slice from
// the result on the one before (propagation). OK and Cancel.
//
// What the user last accepted is remembered in the settings store
// ("snake/..."): the tool's two choices, and the parameters used for models
// that have none of their own yet (a model's parameters are not written in
// the stack file).

#include "imageprocessing/snakeconfig.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

class PLXSnakeConfigDialog : public QDialog {
    Q_OBJECT
public:
    PLXSnakeConfigDialog(const SnakeConfig& config, bool overStack, bool propagation, QWidget* parent = nullptr);

    // The parameters shown (fields the dialog does not show keep the values
    // it was opened with).
    SnakeConfig getConfig() const;
    bool isRunOverStack() const;
    bool isPropagationEnabled() const;

    QDoubleSpinBox* getAlphaBox() const { return m_alpha; }
    QDoubleSpinBox* getThresholdBox() const { return m_threshold; }
    QDoubleSpinBox* getRegMaxBox() const { return m_regMax; }
    QSpinBox* getDistanceBox() const { return m_distance; }
    QSpinBox* getScaleBox() const { return m_scale; }
    QCheckBox* getAdaptiveBox() const { return m_adaptive; }
    QCheckBox* getOverStackBox() const { return m_overStack; }
    QCheckBox* getPropagationBox() const { return m_propagation; }

    // The remembered choices (defaults: SnakeConfig's, one slice,
    // propagation on), and remembering new ones.
    static SnakeConfig rememberedConfig();
    static bool rememberedOverStack();
    static bool rememberedPropagation();
    static void remember(const SnakeConfig& config, bool overStack, bool propagation);

private:
    SnakeConfig m_config;
    QDoubleSpinBox* m_alpha;
    QDoubleSpinBox* m_threshold;
    QDoubleSpinBox* m_regMax;
    QSpinBox* m_distance;
    QSpinBox* m_scale;
    QCheckBox* m_adaptive;
    QCheckBox* m_overStack;
    QCheckBox* m_propagation;
};
