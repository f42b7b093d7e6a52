#include "views/AngleDlg2.h"

#include "platform/NumberFormat.h"
#include "platform/UserMessages.h"
#include "views/IgnitionMap.h"

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>
#include <string>

namespace morvex::views {
namespace {

constexpr qint64 kFiveAfterMs = 2000;
constexpr qint64 kTwentyAfterMs = 5000;

bool isStepKey(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

qint64 steadyMs()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

// The field's text as an integer; none for an empty or partial text.
std::optional<int> integerOf(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

CAcceleratedSpinBox::CAcceleratedSpinBox(int low, int high, int typedMaximum, QWidget* parent)
    : QSpinBox(parent), low_(low), high_(high), clock_(steadyMs)
{
    setRange(0, typedMaximum);
    setAlignment(Qt::AlignRight);
}

QAbstractSpinBox::StepEnabled CAcceleratedSpinBox::stepEnabled() const
{
    auto inRange = [this](int v) { return v >= low_ && v <= high_; };
    StepEnabled enabled = StepNone;
    if (inRange(value() + singleStep())) {
        enabled |= StepUpEnabled;
    }
    if (inRange(value() - singleStep())) {
        enabled |= StepDownEnabled;
    }
    return enabled;
}

void CAcceleratedSpinBox::stepBy(int steps)
{
    const qint64 held = holding_ ? clock_() - holdStart_ : 0;
    const int factor = held >= kTwentyAfterMs ? 20 : held >= kFiveAfterMs ? 5 : 1;
    const int target = value() + steps * factor * singleStep();
    if (target < low_ || target > high_) {
        return;
    }
    QSpinBox::stepBy(steps * factor);
}

void CAcceleratedSpinBox::keyPressEvent(QKeyEvent* event)
{
    if (isStepKey(event->key())) {
        if (!event->isAutoRepeat()) {
            holdStart_ = clock_();
        }
        holding_ = true;
    }
    QSpinBox::keyPressEvent(event);
}

void CAcceleratedSpinBox::keyReleaseEvent(QKeyEvent* event)
{
    if (isStepKey(event->key()) && !event->isAutoRepeat()) {
        holding_ = false;
    }
    QSpinBox::keyReleaseEvent(event);
}

void CAcceleratedSpinBox::mousePressEvent(QMouseEvent* event)
{
    holdStart_ = clock_();
    holding_ = true;
    QSpinBox::mousePressEvent(event);
}

void CAcceleratedSpinBox::mouseReleaseEvent(QMouseEvent* event)
{
    holding_ = false;
    QSpinBox::mouseReleaseEvent(event);
}

CAngleDlg2::CAngleDlg2(int teeth, int offset, platform::UserMessages* messages, QWidget* parent)
    : QDialog(parent), messages_(messages), teeth_(new CAcceleratedSpinBox(kMinTeeth, kMaxTeeth, 999, this)),
      offset_(new CAcceleratedSpinBox(0, kMaxOffset, 99, this)), degreesPerStep_(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Set Teeth and Offset"));
    teeth_->setValue(teeth);
    offset_->setValue(offset);
    degreesPerStep_->setReadOnly(true);
    degreesPerStep_->setFocusPolicy(Qt::NoFocus);
    degreesPerStep_->setAlignment(Qt::AlignRight);

    auto* teethGroup = new QGroupBox(QStringLiteral("Number of teeth"), this);
    auto* teethLayout = new QGridLayout(teethGroup);
    auto* teethLabel = new QLabel(QStringLiteral("Teeth for 360\u00B0"), teethGroup);
    teethLabel->setBuddy(teeth_);
    teethLayout->addWidget(teeth_, 0, 0);
    teethLayout->addWidget(teethLabel, 0, 1);
    teethLayout->addWidget(degreesPerStep_, 1, 0);
    teethLayout->addWidget(new QLabel(QStringLiteral("Degrees per step"), teethGroup), 1, 1);

    auto* offsetGroup = new QGroupBox(QStringLiteral("Static Ignition Point"), this);
    auto* offsetLayout = new QGridLayout(offsetGroup);
    auto* offsetLabel = new QLabel(QStringLiteral("\u00B0 BTDC (\u00B0 vOT)"), offsetGroup);
    offsetLabel->setBuddy(offset_);
    offsetLayout->addWidget(offset_, 0, 0);
    offsetLayout->addWidget(offsetLabel, 0, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAngleDlg2::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAngleDlg2::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(teethGroup);
    layout->addWidget(offsetGroup);
    layout->addWidget(buttons);
    setTabOrder(teeth_, offset_);
    setTabOrder(offset_, ok_);
    setTabOrder(ok_, buttons->button(QDialogButtonBox::Cancel));

    connect(teeth_, &QSpinBox::textChanged, this, &CAngleDlg2::UpdateDegreesPerStep);
    UpdateDegreesPerStep();
}

int CAngleDlg2::Teeth() const
{
    return teeth_->value();
}

int CAngleDlg2::Offset() const
{
    return offset_->value();
}

QString CAngleDlg2::DegreesPerStep() const
{
    return degreesPerStep_->text();
}

void CAngleDlg2::UpdateDegreesPerStep()
{
    degreesPerStep_->setText(QString::fromStdString(degreesPerStepText(integerOf(teeth_->cleanText()).value_or(0))));
}

void CAngleDlg2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    teeth_->setFocus(Qt::TabFocusReason);
    teeth_->selectAll();
}

bool CAngleDlg2::Validate(CAcceleratedSpinBox* box)
{
    const std::optional<int> value = integerOf(box->cleanText());
    if (value && *value >= box->Low() && *value <= box->High()) {
        return true;
    }
    if (messages_ != nullptr) {
        platform::UserMessage m;
        m.text = value ? "Please enter an integer between " + std::to_string(box->Low()) + " and " +
                             std::to_string(box->High()) + "."
                       : std::string("Please enter an integer.");
        m.icon = platform::UserMessage::Icon::Exclamation;
        messages_->show(m);
    }
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    return false;
}

void CAngleDlg2::accept()
{
    if (Validate(teeth_) && Validate(offset_)) {
        QDialog::accept();
    }
}

} // namespace morvex::views
