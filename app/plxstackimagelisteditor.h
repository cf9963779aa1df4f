#pragma once
// PLXStackImageListEditor: the ordered list of image files a new stack is
// made of, one slice per file in list order. "Add images..." appends files
// chosen in a file dialog ("*.tif *.TIF *.img"), "Remove" drops the
// selected entries, "Up" and "Down" move the current one. Emits changed().

#include <QStringList>
#include <QWidget>

class QListWidget;
class QPushButton;

class PLXStackImageListEditor : public QWidget {
    Q_OBJECT
public:
    explicit PLXStackImageListEditor(QWidget* parent = nullptr);

    QStringList getImageList() const;
    void setImageList(const QStringList& files);
    void addImages(const QStringList& files);

    QListWidget* getList() const { return m_list; }
    QPushButton* getAddButton() const { return m_add; }

public slots:
    void chooseImages();
    void removeSelected();
    void moveUp();
    void moveDown();

signals:
    void changed();

private:
    void move(int step);

    QListWidget* m_list;
    QPushButton* m_add;
};
