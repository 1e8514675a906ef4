#pragma once

#include "client/Channel.h"

#include <QDialog>

#include <functional>
#include <vector>

class QTabWidget;

namespace client {

class CAboutDlg;
class CChannelSettings;
class CGeneralSettings;
class CHelpTab;
class MfgrEntry;
class MfgrModel;
class Settings;

// The settings sheet: pages General, Channels, About and Help, with OK and Cancel. On OK
// every page that was shown takes its controls' values; the caller then writes them back.
class CSettingsEditor : public QDialog {
    Q_OBJECT
public:
    explicit CSettingsEditor(const QString& caption, QWidget* parent = nullptr);

    // "PlayNewMessageSound" and "UpdateFrequency" to the general page and back.
    void ReadSettings(const Settings& settings);
    void WriteSettings(Settings& settings) const;

    // The entry's channels, each marked subscribed when one of its records subscribes to it.
    void FillChannelPage(const MfgrEntry& entry);
    void SetChannels(const std::vector<Channel>& channels);

    // The channels to subscribe to, read after OK.
    const std::vector<Channel>& Chosen() const;

    CGeneralSettings& GeneralPage() const { return *general_; }
    CChannelSettings& ChannelPage() const { return *channels_; }
    CAboutDlg& AboutPage() const { return *about_; }
    CHelpTab& HelpPage() const { return *help_; }
    QTabWidget& Tabs() const { return *tabs_; }

    void accept() override;

private:
    QTabWidget* tabs_;
    CGeneralSettings* general_;
    CChannelSettings* channels_;
    CAboutDlg* about_;
    CHelpTab* help_;
};

// Runs the sheet modally; the result is QDialog::Accepted or Rejected. exec() unless a
// test drives the sheet.
using SettingsSheetRunner = std::function<int(CSettingsEditor& sheet)>;

// The message window's Settings button and its pages' "ShowSettings": the sheet filled
// from the settings and the "OVEX" entry of the model (no channels when there is none; no
// entry is made for it). OK writes the settings back and applies the channel choice to
// that entry's records, which saves them. Then, OK or not, the check task is re-created
// from "UpdateFrequency" with no start time. Returns the sheet's result.
int RunSettingsSheet(QWidget* parent, MfgrModel& model, const SettingsSheetRunner& run = {});

}  // namespace client
