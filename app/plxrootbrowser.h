#pragma once
// PLXRootBrowser: the left side of the root window: the open stacks above,
// the current stack's slices below, in a splitter that remembers its sizes.

#include <QWidget>

class PLXSliceListWidget;
class PLXSplitter;
class PLXStackListWidget;

class PLXRootBrowser : public QWidget {
    Q_OBJECT
public:
    explicit PLXRootBrowser(QWidget* parent = nullptr);

    PLXStackListWidget* getStackList() const { return m_stacks; }
    PLXSliceListWidget* getSliceList() const { return m_slices; }

private:
    PLXStackListWidget* m_stacks = nullptr;
    PLXSliceListWidget* m_slices = nullptr;
    PLXSplitter* m_splitter = nullptr;
};
