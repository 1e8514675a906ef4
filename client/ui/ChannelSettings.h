#pragma once

#include "client/Channel.h"

#include <QWidget>

#include <memory>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;
namespace Ui {
class CChannelSettings;
}

namespace client {

// The sheet's channel page: one checkable row per channel of the maker, the checked ones
// being the channels the registration records subscribe to. "critical_updates" cannot be
// unchecked. The list is built when the page is first shown; a page never shown leaves
// the choice as SetChannels made it.
class CChannelSettings : public QWidget {
    Q_OBJECT
public:
    explicit CChannelSettings(QWidget* parent = nullptr);
    ~CChannelSettings() override;

    // The channels to show, each with "subscribe" "1" or "0"; the chosen ones start as
    // those with "1".
    void SetChannels(const std::vector<Channel>& channels);

    // The sheet's OK: the channels of the checked rows, in row order, once the list exists.
    void OnOK();

    const std::vector<Channel>& Channels() const { return channels_; }
    const std::vector<Channel>& Chosen() const { return chosen_; }
    bool IsListFilled() const { return listFilled_; }

    QTreeWidget* List() const;

    // A row's check box is about to change; false refuses the change.
    bool OnItemChanging(QTreeWidgetItem* item, bool checking);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void OnSetActive();
    void FillList();
    void ShowDescription(int row);
    void OnItemActivate(QTreeWidgetItem* item);
    void OnClick();

    std::unique_ptr<Ui::CChannelSettings> ui_;
    std::vector<Channel> channels_;
    std::vector<Channel> chosen_;
    bool listFilled_ = false;
};

}  // namespace client
