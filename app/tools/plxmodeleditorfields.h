#pragma once
// Fields of the model editors that may show "not defined": a spin box whose
// minimum -1 shows as a blank, a check box whose partial state means
// undefined until the user clicks it, a combo box showing no entry.

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>

#include <optional>

namespace PLXModelEditorFields {

inline QSpinBox* blankableSpinBox(int maximum, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setRange(-1, maximum);
    box->setSpecialValueText(QStringLiteral(" "));
    return box;
}

template <typename T>
void setSpinValue(QSpinBox* box, bool defined, T value)
{
    box->setValue(defined ? static_cast<int>(value) : -1);
}

inline std::optional<int> spinValue(const QSpinBox* box)
{
    if (box->value() < 0)
        return std::nullopt;
    return box->value();
}

inline void setCheck(QCheckBox* box, bool defined, bool value)
{
    box->setTristate(!defined);
    box->setCheckState(!defined ? Qt::PartiallyChecked : value ? Qt::Checked : Qt::Unchecked);
}

inline std::optional<bool> checkValue(const QCheckBox* box)
{
    if (box->checkState() == Qt::PartiallyChecked)
        return std::nullopt;
    return box->checkState() == Qt::Checked;
}

// A click leaves the undefined state for good.
inline void leavePartialOnClick(QCheckBox* box)
{
    QObject::connect(box, &QCheckBox::clicked, box, [box] { box->setTristate(false); });
}

inline std::optional<int> comboValue(const QComboBox* box)
{
    if (box->currentIndex() < 0)
        return std::nullopt;
    return box->currentData().toInt();
}

inline void setComboValue(QComboBox* box, bool defined, int value)
{
    box->setCurrentIndex(defined ? box->findData(value) : -1);
}

} // namespace PLXModelEditorFields
