#include "client/ui/GeneralSettings.h"

#include "ui_GeneralSettings.h"

#include <QButtonGroup>
#include <QShowEvent>

namespace client {

CGeneralSettings::CGeneralSettings(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::CGeneralSettings>())
{
    ui_->setupUi(this);
    frequencyButtons_ = new QButtonGroup(this);
    frequencyButtons_->addButton(ui_->daily, 0);
    frequencyButtons_->addButton(ui_->weekly, 1);
    frequencyButtons_->addButton(ui_->monthly, 2);
}

CGeneralSettings::~CGeneralSettings() = default;

void CGeneralSettings::showEvent(QShowEvent* event)
{
    if (!initialised_ && !event->spontaneous())
        OnInitDialog();
    QWidget::showEvent(event);
}

void CGeneralSettings::OnInitDialog()
{
    initialised_ = true;
    ui_->playSound->setChecked(playSound != 0);
    if (QAbstractButton* button = frequencyButtons_->button(frequency))
        button->setChecked(true);
}

void CGeneralSettings::OnOK()
{
    if (!initialised_)
        return;
    playSound = ui_->playSound->isChecked() ? 1 : 0;
    // A frequency without a radio button (manual) stays as it was: with none checked
    // there is nothing the user chose, and writing -1 would turn it into daily.
    const int checked = frequencyButtons_->checkedId();
    if (checked >= 0)
        frequency = checked;
}

}  // namespace client
