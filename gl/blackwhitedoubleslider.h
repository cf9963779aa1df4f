#pragma once
// BlackWhiteDoubleSlider: a horizontal slider with two handles, the black
// level and the white level of a grey-level window, both in [0, 1] with
// black <= white. Dragging a handle (the nearer one to the press) moves it;
// a double click resets the window to [0, 1]. Every change emits
// valuesChanged(black, white).

#include <QWidget>

class BlackWhiteDoubleSlider : public QWidget {
    Q_OBJECT
public:
    explicit BlackWhiteDoubleSlider(QWidget* parent = nullptr);

    double black() const { return m_black; }
    double white() const { return m_white; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // Clamps both to [0, 1] and orders them; emits when anything changed.
    void setValues(double black, double white);
    void reset() { setValues(0.0, 1.0); }

signals:
    void valuesChanged(double black, double white);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    enum class Handle { None, Black, White };

    // The track's horizontal extent in widget pixels.
    int trackLeft() const;
    int trackRight() const;
    int positionOf(double value) const;
    double valueAt(int x) const;

    double m_black = 0.0;
    double m_white = 1.0;
    Handle m_dragged = Handle::None;
};
