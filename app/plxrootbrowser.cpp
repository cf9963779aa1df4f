#include "app/plxrootbrowser.h"

#include "app/plxsettingskeys.h"
#include "app/plxsplitter.h"
#include "app/slice/plxslicelistwidget.h"
#include "app/slice/plxstacklistwidget.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

QWidget* titled(const QString& title, QWidget* content)
{
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(new QLabel(title));
    layout->addWidget(content);
    return box;
}

} // namespace

PLXRootBrowser::PLXRootBrowser(QWidget* parent) : QWidget(parent)
{
    m_stacks = new PLXStackListWidget;
    m_slices = new PLXSliceListWidget;
    m_splitter = new PLXSplitter(Qt::Vertical, QString::fromLatin1(PLXSettingsKeys::rootBrowserSplitterSizes),
                                 {150, 450}, this);
    m_splitter->addWidget(titled(tr("Stacks"), m_stacks));
    m_splitter->addWidget(titled(tr("Slices"), m_slices));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->restore();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);
}
