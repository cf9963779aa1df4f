#include "gl/colorselector.h"

#include "gl/dialogs.h"

ColorSelector::ColorSelector(QWidget* parent) : ColorSelector(QColor(Qt::white), parent) {}

ColorSelector::ColorSelector(const QColor& color, QWidget* parent) : QPushButton(parent), m_color(color)
{
    setMinimumSize(40, 20);
    showSwatch();
    connect(this, &QPushButton::clicked, this, &ColorSelector::choose);
}

void ColorSelector::setValue(const QColor& color)
{
    if (color == m_color)
        return;
    m_color = color;
    showSwatch();
    emit valueChanged(m_color);
}

void ColorSelector::choose()
{
    const QColor chosen = Dialogs::getColor(m_color, this, tr("Select color"));
    if (chosen.isValid())
        setValue(chosen);
}

void ColorSelector::showSwatch()
{
    // An invalid colour (a setting that could not be read) shows as no swatch.
    if (!m_color.isValid()) {
        setStyleSheet(QString());
        return;
    }
    setStyleSheet(QStringLiteral("background-color:rgb(%1,%2,%3)")
                      .arg(m_color.red())
                      .arg(m_color.green())
                      .arg(m_color.blue()));
}

#include "moc_colorselector.cpp"
