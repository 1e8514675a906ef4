#include "client/ui/ChannelSettings.h"

#include "client/ResString.h"
#include "ui_ChannelSettings.h"

#include <QHeaderView>
#include <QShowEvent>
#include <QTreeWidget>

namespace client {

namespace {

const QString kSubscribe = QStringLiteral("subscribe");

// The one channel the owner cannot leave.
bool isMandatory(const Channel& channel)
{
    return channel.Name() == u"critical_updates";
}

// Every change of a row's check box, whether by click, key, activation or code, passes
// through the item, so the page can refuse one before it happens.
class ChannelItem : public QTreeWidgetItem {
public:
    ChannelItem(CChannelSettings* page, int index) : page_(page) { setData(0, Qt::UserRole, index); }

    void setData(int column, int role, const QVariant& value) override
    {
        if (role == Qt::CheckStateRole && column == 0 && treeWidget()) {
            const bool wasChecked = checkState(0) == Qt::Checked;
            const bool checking = value.toInt() == Qt::Checked;
            if (wasChecked != checking && !page_->OnItemChanging(this, checking))
                return;
        }
        QTreeWidgetItem::setData(column, role, value);
    }

private:
    CChannelSettings* page_;
};

int channelIndex(const QTreeWidgetItem* item)
{
    return item->data(0, Qt::UserRole).toInt();
}

}  // namespace

CChannelSettings::CChannelSettings(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::CChannelSettings>())
{
    ui_->setupUi(this);
    ui_->list->setHeaderLabels({ResString(109)});
    ui_->list->header()->setStretchLastSection(true);
    connect(ui_->list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { OnItemActivate(item); });
    connect(ui_->list, &QTreeWidget::itemClicked, this, [this] { OnClick(); });
}

CChannelSettings::~CChannelSettings() = default;

QTreeWidget* CChannelSettings::List() const
{
    return ui_->list;
}

void CChannelSettings::SetChannels(const std::vector<Channel>& channels)
{
    channels_ = channels;
    chosen_.clear();
    for (const Channel& channel : channels_)
        if (GetField(channel.fields, kSubscribe) == u"1")
            chosen_.push_back(channel);
    if (listFilled_)
        FillList();
}

void CChannelSettings::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        if (!listFilled_)
            OnInitDialog();
        OnSetActive();
    }
    QWidget::showEvent(event);
}

void CChannelSettings::OnInitDialog()
{
    FillList();
    listFilled_ = true;
}

void CChannelSettings::FillList()
{
    QTreeWidget* list = ui_->list;
    list->clear();
    for (int i = 0; i < int(channels_.size()); ++i) {
        auto* item = new ChannelItem(this, i);
        item->setText(0, GetField(channels_[i].fields, QStringLiteral("title")));
        // Set before the row is in the list, so filling is no change the page reacts to.
        item->setCheckState(0, GetField(channels_[i].fields, kSubscribe) == u"1" ? Qt::Checked : Qt::Unchecked);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        list->addTopLevelItem(item);
    }
    ui_->description->clear();
}

void CChannelSettings::OnSetActive()
{
    if (QTreeWidgetItem* first = ui_->list->topLevelItem(0))
        ui_->list->setCurrentItem(first);
    ShowDescription(0);
}

void CChannelSettings::ShowDescription(int row)
{
    const QTreeWidgetItem* item = ui_->list->topLevelItem(row);
    if (!item) {
        ui_->description->clear();
        return;
    }
    const Channel& channel = channels_[channelIndex(item)];
    const QString description = GetField(channel.fields, QStringLiteral("description"));
    ui_->description->setText(description.isEmpty()
                                  ? QString(ResString(108, GetField(channel.fields, QStringLiteral("title"))))
                                  : description);
}

bool CChannelSettings::OnItemChanging(QTreeWidgetItem* item, bool checking)
{
    const int row = ui_->list->indexOfTopLevelItem(item);
    if (row < 0)
        return true;
    ui_->list->setCurrentItem(item);
    ShowDescription(row);
    return !(listFilled_ && !checking && isMandatory(channels_[channelIndex(item)]));
}

void CChannelSettings::OnItemActivate(QTreeWidgetItem* item)
{
    item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void CChannelSettings::OnClick()
{
    const QList<QTreeWidgetItem*> selected = ui_->list->selectedItems();
    ShowDescription(selected.isEmpty() ? -1 : ui_->list->indexOfTopLevelItem(selected.first()));
}

void CChannelSettings::OnOK()
{
    if (!listFilled_)
        return;
    chosen_.clear();
    for (int row = 0; row < ui_->list->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = ui_->list->topLevelItem(row);
        if (item->checkState(0) == Qt::Checked)
            chosen_.push_back(channels_[channelIndex(item)]);
    }
}

}  // namespace client
