#include "client/ui/SettingsEditor.h"

#include "client/ui/AboutDlg.h"
#include "client/ui/ChannelSettings.h"
#include "client/Database.h"
#include "client/ui/GeneralSettings.h"
#include "client/ui/HelpTab.h"
#include "client/MfgrModel.h"
#include "client/ResString.h"
#include "client/ScheduledTask.h"
#include "client/Settings.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace client {

namespace {

// The code of the maker whose channels the sheet offers.
const QString kMakerCode = QStringLiteral("OVEX");

// The leading decimal number of a stored value, 0 when there is none: "3" and " 3" give
// 3, "abc" gives 0.
int leadingInt(const QString& text)
{
    const QString t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == u'-' || t[end] == u'+'))
        ++end;
    while (end < t.size() && t[end].isDigit() && t[end].unicode() < 128)
        ++end;
    bool ok = false;
    const int value = t.left(end).toInt(&ok);
    return ok ? value : 0;
}

}  // namespace

CSettingsEditor::CSettingsEditor(const QString& caption, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(caption);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabs"));
    general_ = new CGeneralSettings;
    channels_ = new CChannelSettings;
    about_ = new CAboutDlg;
    help_ = new CHelpTab;
    for (QWidget* page : {static_cast<QWidget*>(general_), static_cast<QWidget*>(channels_),
                          static_cast<QWidget*>(about_), static_cast<QWidget*>(help_)})
        tabs_->addTab(page, page->windowTitle());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CSettingsEditor::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSettingsEditor::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
}

void CSettingsEditor::ReadSettings(const Settings& settings)
{
    general_->playSound = leadingInt(settings.Get(QStringLiteral("PlayNewMessageSound")));
    general_->frequency = leadingInt(settings.Get(QStringLiteral("UpdateFrequency")));
}

void CSettingsEditor::WriteSettings(Settings& settings) const
{
    settings.Set(QStringLiteral("PlayNewMessageSound"), QString::number(general_->playSound));
    settings.Set(QStringLiteral("UpdateFrequency"), QString::number(general_->frequency));
}

void CSettingsEditor::FillChannelPage(const MfgrEntry& entry)
{
    std::vector<Channel> channels = entry.channels;
    for (Channel& channel : channels) {
        bool subscribed = false;
        for (const RegRecord& record : entry.records)
            subscribed = subscribed || record.IsSubscribed(channel.Name());
        channel.fields.insert(QStringLiteral("subscribe"), subscribed ? QStringLiteral("1") : QStringLiteral("0"));
    }
    SetChannels(channels);
}

void CSettingsEditor::SetChannels(const std::vector<Channel>& channels)
{
    channels_->SetChannels(channels);
}

const std::vector<Channel>& CSettingsEditor::Chosen() const
{
    return channels_->Chosen();
}

void CSettingsEditor::accept()
{
    general_->OnOK();
    channels_->OnOK();
    QDialog::accept();
}

int RunSettingsSheet(QWidget* parent, MfgrModel& model, const SettingsSheetRunner& run)
{
    CSettingsEditor sheet(ResString(107, ResString(57344)), parent);
    sheet.ReadSettings(Settings::Instance());
    // Only looked up: opening the settings must not add a maker to the model.
    bool offered = false;
    if (const MfgrEntry* entry = model.FindMfgr(kMakerCode)) {
        sheet.FillChannelPage(*entry);
        offered = true;
    } else {
        sheet.SetChannels({});
    }

    const int result = run ? run(sheet) : sheet.exec();
    if (result == QDialog::Accepted) {
        sheet.WriteSettings(Settings::Instance());
        // Found again: the model may have grown while the sheet was open, moving its
        // entries. An entry that appeared meanwhile was not on the page, and applying
        // the empty choice to it would drop all its subscriptions.
        MfgrEntry* entry = model.FindMfgr(kMakerCode);
        if (offered && entry)
            entry->ApplySubscriptions(sheet.Chosen(), Database::Instance());
    }
    ScheduleCheckTask(FrequencyFromSetting(GetSetting(QStringLiteral("UpdateFrequency"))), QString());
    return result;
}

}  // namespace client
