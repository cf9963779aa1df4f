#include "app/slice/plxoutlinevaluedialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

PLXOutlineValueDialog::PLXOutlineValueDialog(const QString& title, const QString& label, int minimum,
                                             int maximum, int value, QWidget* parent)
    : QDialog(parent), m_spin(new QSpinBox(this)), m_slider(new QSlider(Qt::Horizontal, this))
{
    setWindowTitle(title);
    m_spin->setRange(minimum, maximum);
    m_slider->setRange(minimum, maximum);
    m_spin->setValue(value);
    m_slider->setValue(value);
    m_slider->setMinimumWidth(200);
    connect(m_slider, &QSlider::valueChanged, m_spin, &QSpinBox::setValue);
    connect(m_spin, &QSpinBox::valueChanged, this, [this](int v) {
        m_slider->setValue(v);
        emit valueChanged(v);
    });
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(label, this));
    row->addWidget(m_slider, 1);
    row->addWidget(m_spin);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

int PLXOutlineValueDialog::getValue() const
{
    return m_spin->value();
}

void PLXOutlineValueDialog::setValue(int value)
{
    m_spin->setValue(value);
}
