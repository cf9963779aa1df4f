#pragma once
// ColorSelector: a button showing a colour swatch; a click opens the colour
// dialog, and a colour chosen there becomes the value.

#include <QColor>
#include <QPushButton>

class ColorSelector : public QPushButton {
    Q_OBJECT
public:
    explicit ColorSelector(QWidget* parent = nullptr);
    explicit ColorSelector(const QColor& color, QWidget* parent = nullptr);

    const QColor& value() const { return m_color; }

public slots:
    // Shows the colour; emits valueChanged when it differs from the current one.
    void setValue(const QColor& color);

signals:
    void valueChanged(const QColor& color);

private slots:
    void choose();

private:
    void showSwatch();

    QColor m_color;
};
