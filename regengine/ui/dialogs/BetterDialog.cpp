#include "regengine/ui/dialogs/BetterDialog.h"

#include "regengine/ui/display/DialogItem.h"
#include "regengine/ui/graphics/BitmapResource.h"
#include "regengine/ui/element/ScreenInfo.h"

#include <QAbstractButton>
#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QPixmap>
#include <QWindow>

namespace engine {

namespace {
const QString kBitmapPrefix = QStringLiteral("BMP_");
}

BetterDialog::BetterDialog(int templateId, QWidget* parent) : QDialog(parent), templateId_(templateId)
{
    UpdateTextColor();
}

BetterDialog::~BetterDialog() = default;

void BetterDialog::UpdateTextColor()
{
    textColor_ = palette().color(QPalette::WindowText).rgb() & 0xFFFFFF;
}

void BetterDialog::EndWithCode4()
{
    done(4);
}

void BetterDialog::ReplaceBitmapStatics()
{
    const auto labels = findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (pictures_.contains(label) || !label->text().startsWith(kBitmapPrefix))
            continue;
        const QString name = label->text().mid(kBitmapPrefix.size());
        const QImage image = LoadBitmapResource(module_, name);
        auto* picture = new QLabel(label->parentWidget());
        picture->setGeometry(label->geometry());
        picture->setScaledContents(true);
        picture->setPixmap(QPixmap::fromImage(image));
        picture->setObjectName(QStringLiteral("picture_") + name);
        // The picture takes the static's place in a layout as well as on the dialog.
        if (QLayout* layout = label->parentWidget() ? label->parentWidget()->layout() : nullptr) {
            if (QLayoutItem* replaced = layout->replaceWidget(label, picture))
                delete replaced;
        }
        label->hide();
        picture->show();
        pictures_.append(picture);
    }
}

QWidget* BetterDialog::Item(int id) const
{
    return DialogItem(const_cast<BetterDialog*>(this), id);
}

bool BetterDialog::OnInitDialog()
{
    // On X11 a dialog is a top-level window of its own; the desktop gives it a task-bar
    // entry unless it is transient for its parent, so the flag asks for no parent link.
    if (appWindow_ && windowHandle() != nullptr)
        windowHandle()->setTransientParent(nullptr);
    ReplaceBitmapStatics();
    if (!icon_.isNull())
        setWindowIcon(icon_);
    return true;
}

void BetterDialog::OnCommand(int id)
{
    switch (id) {
    case kIdOk: OnOK(); break;
    case kIdCancel: OnCancel(); break;
    case 4: EndWithCode4(); break;
    default: break;
    }
}

void BetterDialog::OnOK()
{
    done(kIdOk);
}

void BetterDialog::OnCancel()
{
    done(kIdCancel);
}

bool BetterDialog::CanCancel() const
{
    QWidget* cancel = Item(kIdCancel);
    return cancel == nullptr || !cancel->isHidden();
}

void BetterDialog::reject()
{
    if (CanCancel())
        OnCancel();
}

void BetterDialog::accept()
{
    OnOK();
}

void BetterDialog::ConnectButtons()
{
    const auto buttons = findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons) {
        const QVariant id = button->property(kDialogItemIdProperty);
        if (id.isValid())
            connect(button, &QAbstractButton::clicked, this, [this, n = id.toInt()] { OnCommand(n); });
    }
}

void BetterDialog::showEvent(QShowEvent* event)
{
    if (!initialised_) {
        initialised_ = true;
        ConnectButtons();
        OnInitDialog();
    }
    QDialog::showEvent(event);
    if (bringToFront_) {
        raise();
        activateWindow();
        setFocus();
    }
}

// The desktop's colours or its contrast setting changed.
void BetterDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
        ScreenInfo::Instance().Refresh();
        UpdateTextColor();
    }
    QDialog::changeEvent(event);
}

}  // namespace engine
