#include "app/tools/plxregistrationpanel.h"

#include "app/slice/plxslicelistwidget.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

PLXRegistrationPanel::PLXRegistrationPanel(QWidget* parent)
    : QWidget(parent), m_stackName(new QLabel(this)), m_slices(new PLXSliceListWidget(this)),
      m_background(new QLineEdit(this)), m_foreground(new QLineEdit(this)), m_horizontalShift(new QLineEdit(this)),
      m_verticalShift(new QLineEdit(this)), m_angle(new QDoubleSpinBox(this)),
      m_frames(new QCheckBox(QStringLiteral("Display frames"), this)), m_transparency(new QComboBox(this))
{
    m_slices->setSelectionMode(QAbstractItemView::SingleSelection);
    m_background->setReadOnly(true);
    m_foreground->setReadOnly(true);
    for (QLineEdit* shift : {m_horizontalShift, m_verticalShift}) {
        shift->setValidator(new QIntValidator(shift));
        shift->setText(QStringLiteral("0"));
        connect(shift, &QLineEdit::textEdited, this, &PLXRegistrationPanel::fieldsEdited);
    }
    m_angle->setRange(0.0, 359.9);
    m_angle->setDecimals(1);
    m_angle->setSingleStep(0.1);
    m_angle->setWrapping(true);
    m_angle->setSuffix(QStringLiteral(" deg."));
    connect(m_angle, &QDoubleSpinBox::valueChanged, this, &PLXRegistrationPanel::fieldsEdited);
    m_transparency->addItems({QStringLiteral("Addition"), QStringLiteral("Subtraction"),
                              QStringLiteral("Multiplication"), QStringLiteral("Minimum"),
                              QStringLiteral("Maximum")});
    connect(m_transparency, &QComboBox::currentIndexChanged, this, &PLXRegistrationPanel::transparencyModeChanged);
    connect(m_frames, &QCheckBox::toggled, this, &PLXRegistrationPanel::framesEnabled);
    connect(m_slices, &PLXSliceListWidget::sliceSelectionChanged, this, [this] {
        const QList<StackSlice*> selected = m_slices->getSelectedSlices();
        if (selected.size() == 1)
            emit sliceClicked(QString::fromStdString(selected.front()->getName()));
    });

    auto* layout = new QVBoxLayout(this);
    auto* stackRow = new QHBoxLayout;
    stackRow->addWidget(new QLabel(QStringLiteral("Stack:"), this));
    stackRow->addWidget(m_stackName, 1);
    layout->addLayout(stackRow);
    layout->addWidget(m_slices, 1);

    auto* slices = new QFormLayout;
    slices->addRow(QStringLiteral("Background"), m_background);
    slices->addRow(QStringLiteral("Foreground"), m_foreground);
    layout->addLayout(slices);

    auto* navigation = new QGridLayout;
    navigation->addWidget(addButton(QStringLiteral("First"), &PLXRegistrationPanel::firstClicked), 0, 0);
    navigation->addWidget(addButton(QStringLiteral("Prev"), &PLXRegistrationPanel::previousClicked), 0, 1);
    navigation->addWidget(addButton(QStringLiteral("Next"), &PLXRegistrationPanel::nextClicked), 0, 2);
    navigation->addWidget(addButton(QStringLiteral("Last"), &PLXRegistrationPanel::lastClicked), 0, 3);
    layout->addLayout(navigation);

    auto* registration = new QGroupBox(QStringLiteral("Registration"), this);
    auto* fields = new QFormLayout(registration);
    fields->addRow(QStringLiteral("Hor. shift"), m_horizontalShift);
    fields->addRow(QStringLiteral("Ver. shift"), m_verticalShift);
    fields->addRow(QStringLiteral("Rot. angle"), m_angle);
    layout->addWidget(registration);

    auto* display = new QGroupBox(QStringLiteral("Display"), this);
    auto* displayLayout = new QGridLayout(display);
    displayLayout->addWidget(addButton(QStringLiteral("Bigger"), &PLXRegistrationPanel::biggerClicked), 0, 0);
    displayLayout->addWidget(addButton(QStringLiteral("Smaller"), &PLXRegistrationPanel::smallerClicked), 0, 1);
    displayLayout->addWidget(m_frames, 1, 0, 1, 2);
    displayLayout->addWidget(new QLabel(QStringLiteral("Transparency mode:"), display), 2, 0);
    displayLayout->addWidget(m_transparency, 2, 1);
    layout->addWidget(display);

    auto* commands = new QGridLayout;
    commands->addWidget(addButton(QStringLiteral("Reset"), &PLXRegistrationPanel::resetClicked), 0, 0);
    commands->addWidget(addButton(QStringLiteral("Restore"), &PLXRegistrationPanel::restoreClicked), 0, 1);
    commands->addWidget(addButton(QStringLiteral("Apply"), &PLXRegistrationPanel::applyClicked), 1, 0);
    commands->addWidget(addButton(QStringLiteral("Close"), &PLXRegistrationPanel::cancelClicked), 1, 1);
    layout->addLayout(commands);
    setRestoreEnabled(false);

    // Tab goes down the panel as it shows, along each row of buttons (the
    // fields were made before the buttons above them).
    QList<QWidget*> order{m_slices, m_background, m_foreground};
    order << getButton(QStringLiteral("First")) << getButton(QStringLiteral("Prev"))
          << getButton(QStringLiteral("Next")) << getButton(QStringLiteral("Last"));
    order << m_horizontalShift << m_verticalShift << m_angle;
    order << getButton(QStringLiteral("Bigger")) << getButton(QStringLiteral("Smaller")) << m_frames
          << m_transparency;
    order << getButton(QStringLiteral("Reset")) << getButton(QStringLiteral("Restore"))
          << getButton(QStringLiteral("Apply")) << getButton(QStringLiteral("Close"));
    for (int k = 1; k < order.size(); ++k)
        setTabOrder(order[k - 1], order[k]);
}

QPushButton* PLXRegistrationPanel::addButton(const QString& text, void (PLXRegistrationPanel::*signal)())
{
    auto* button = new QPushButton(text, this);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, signal);
    m_buttons << button;
    return button;
}

QPushButton* PLXRegistrationPanel::getButton(const QString& text) const
{
    for (QPushButton* button : m_buttons)
        if (button->text() == text)
            return button;
    return nullptr;
}

void PLXRegistrationPanel::setStack(Stack* stack)
{
    m_stackName->setText(stack ? QString::fromStdString(stack->getName()) : QString());
    m_slices->setStack(stack);
    setSlices(nullptr, nullptr);
}

void PLXRegistrationPanel::updateStack()
{
    const Stack* stack = m_slices->getStack();
    m_stackName->setText(stack ? QString::fromStdString(stack->getName()) : QString());
    m_slices->rebuild();
    for (int row = 0; row < m_slices->count(); ++row)
        m_slices->updateSlice(m_slices->getSlice(row));
}

void PLXRegistrationPanel::setSlices(const StackSlice* background, const StackSlice* foreground)
{
    m_background->setText(background ? QString::fromStdString(background->getName()) : QString());
    m_foreground->setText(foreground ? QString::fromStdString(foreground->getName()) : QString());
    m_slices->selectSlice(const_cast<StackSlice*>(foreground));
}

void PLXRegistrationPanel::setRegistration(const Registration& registration)
{
    const QSignalBlocker h(m_horizontalShift), v(m_verticalShift), a(m_angle);
    // The echo of the user's own edit leaves the fields as typed ("-" on
    // the way to "-7" reads 0 and must stay).
    if (m_emitting && registration == getRegistration())
        return;
    m_horizontalShift->setText(QString::number(registration.getHorizontalShift()));
    m_verticalShift->setText(QString::number(registration.getVerticalShift()));
    m_angle->setValue(registration.getRotationAngle());
}

Registration PLXRegistrationPanel::getRegistration() const
{
    return Registration(m_horizontalShift->text().toInt(), m_verticalShift->text().toInt(),
                        static_cast<float>(m_angle->value()));
}

void PLXRegistrationPanel::setRestoreEnabled(bool on)
{
    getButton(QStringLiteral("Restore"))->setEnabled(on);
}

void PLXRegistrationPanel::fieldsEdited()
{
    m_emitting = true;
    emit registrationChanged(getRegistration());
    m_emitting = false;
}
