#include "regengine/ui/dialogs/StatusDialog.h"

#include "ui_StatusDialog.h"

#include "regengine/core/StringTableMgr.h"
#include "regengine/ui/display/DialogItem.h"

#include "platform/resources/Resources.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QWindow>

namespace engine {

namespace {
constexpr int kCancelButton = 2;
const FourCC kTable("STAT");
}  // namespace

// Not a child of the registration window: the caller disables that window for the run, and
// a disabled parent disables its child windows with it, Cancel included. The dialog stays
// above the window as its transient.
StatusDialog::StatusDialog(int templateId, QWidget* parent)
    : QDialog(nullptr), ui_(std::make_unique<Ui::StatusDialog>()), templateId_(templateId), parent_(parent)
{
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (auto* cancel = qobject_cast<QAbstractButton*>(DialogItem(this, kCancelButton)))
        connect(cancel, &QAbstractButton::clicked, this, [this] { reject(); });
}

StatusDialog::~StatusDialog()
{
    EnableParent();
}

bool StatusDialog::CreateModeless()
{
    setModal(false);
    if (parent_ != nullptr) {
        parent_->winId();
        winId();
        if (windowHandle() != nullptr)
            windowHandle()->setTransientParent(parent_->window()->windowHandle());
        const QRect area = parent_->window()->geometry();
        move(area.center() - rect().center());
    }
    show();
    setWindowTitle(GetTableString(QStringLiteral("Status"), 3, kTable));
    SetWidgetText(DialogItem(this, kCancelButton), GetTableString(QStringLiteral("Cancel"), 2, kTable));
    return true;
}

Displayer* StatusDialog::SetTextItem(int itemId)
{
    displayer_.reset(itemId != 0 ? new DialogStaticDisplayer(this, itemId) : nullptr);
    return displayer_.get();
}

void StatusDialog::SetItemIcon(int item, int iconId)
{
    auto* label = qobject_cast<QLabel*>(DialogItem(this, item));
    if (label == nullptr)
        return;
    QPixmap pixmap;
    if (const std::optional<QByteArray> bytes =
            platform::findResource(module_, QStringLiteral("ICON"), QString::number(iconId)))
        pixmap.loadFromData(*bytes);
    label->setPixmap(pixmap);
    label->repaint();
}

void StatusDialog::StartAnimation(int item, int firstIcon, int lastIcon)
{
    iconItem_ = item;
    firstIcon_ = firstIcon;
    lastIcon_ = lastIcon;
    currentIcon_ = firstIcon;
    animating_ = true;
    SetItemIcon(item, firstIcon);
    lastChange_ = Now();
}

void StatusDialog::StopAnimation(int finalIcon)
{
    animating_ = false;
    if (finalIcon != 0) {
        currentIcon_ = finalIcon;
        SetItemIcon(iconItem_, finalIcon);
    }
}

void StatusDialog::Animate()
{
    if (!animating_)
        return;
    const qint64 now = Now();
    if (now <= lastChange_ + 1)
        return;
    currentIcon_ = currentIcon_ >= lastIcon_ || currentIcon_ < firstIcon_ ? firstIcon_ : currentIcon_ + 1;
    SetItemIcon(iconItem_, currentIcon_);
    lastChange_ = now;
}

void StatusDialog::reject()
{
    if (displayer_ != nullptr) {
        displayer_->WriteLine(GetTableString(QStringLiteral("Cancelled."), 1, kTable));
        displayer_->WriteLine(QString());
    }
    if (cancelFlag_ != nullptr)
        *cancelFlag_ = 1;
    DestroyWindow();
}

void StatusDialog::accept()
{
    DestroyWindow();
}

void StatusDialog::DestroyWindow()
{
    if (displayer_ != nullptr)
        displayer_->SetEnabled(false);
    EnableParent();
    hide();
}

void StatusDialog::EnableParent()
{
    if (parent_ != nullptr)
        parent_->setEnabled(true);
}

qint64 StatusDialog::Now() const
{
    if (clock_)
        return clock_();
    static QElapsedTimer monotonic;
    if (!monotonic.isValid())
        monotonic.start();
    return monotonic.elapsed() / 1000;
}

}  // namespace engine
