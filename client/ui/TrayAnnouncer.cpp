#include "client/ui/TrayAnnouncer.h"

#include "client/Settings.h"
#include "client/Trace.h"
#include "client/ui/TrayNotifier.h"
#include "platform/desktop/Desktop.h"
#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

namespace client {

namespace mb = platform::mb;

namespace {

constexpr int kNewIcon = 137;     // the icon as it is added
constexpr int kUnreadIcon = 128;  // the icon once the count is brought up to date
constexpr int kBalloonMs = 15000;

QString NewMessagesTip(int count)
{
    return count == 1 ? QStringLiteral("You have one new message available.")
                      : platform::formatText(QStringLiteral("You have %d new messages available."), count);
}

QString UnreadMessagesText(int count)
{
    return count == 1 ? QStringLiteral("You have one unread message available.")
                      : platform::formatText(QStringLiteral("You have %d unread messages available."), count);
}

}  // namespace

TrayAnnouncer::TrayAnnouncer(TrayNotifier* tray, platform::WaitClock* clock, QObject* parent)
    : QObject(parent), tray_(tray), clock_(clock)
{
    if (tray_ != nullptr)
        connect(tray_, &TrayNotifier::activated, this, &TrayAnnouncer::activated);
}

TrayAnnouncer::~TrayAnnouncer() = default;

// The desktop's tray is made only when an icon is first wanted.
TrayNotifier& TrayAnnouncer::Tray()
{
    if (tray_ != nullptr)
        return *tray_;
    if (!ownTray_) {
        ownTray_ = std::make_unique<DesktopTrayNotifier>();
        connect(ownTray_.get(), &TrayNotifier::activated, this, &TrayAnnouncer::activated);
    }
    return *ownTray_;
}

void TrayAnnouncer::ShowIcon(int unreadCount)
{
    if (unreadCount <= 0)
        return;
    Tray().AddIcon(kNewIcon, NewMessagesTip(unreadCount));
    added_ = true;
    iconShown_ = true;
}

void TrayAnnouncer::RemoveIcon()
{
    if (added_)
        Tray().RemoveIcon();
    iconShown_ = false;
    added_ = false;
}

void TrayAnnouncer::NotifyNewMessages(int unreadCount, bool announce)
{
    // A logout during the wait ends it; the balloon would come as the program goes.
    if (announce && unreadCount > 0 && !WaitForIdleUser())
        return;
    if (!iconShown_)
        ShowIcon(unreadCount);
    if (unreadCount <= 0 || !added_) {
        RemoveIcon();
        return;
    }
    const QString text = UnreadMessagesText(unreadCount);
    Tray().ModifyIcon(kUnreadIcon, text);
    if (!announce)
        return;
    const QString title = platform::formatText(QStringLiteral("New message from %s"), QStringLiteral("Ovex Inc"));
    qCInfo(lcClient).noquote() << "Announcing:" << title << '-' << text;
    Tray().ShowBalloon(title, text, kBalloonMs);
    if (GetSetting(QStringLiteral("PlayNewMessageSound")) == u"1")
        platform::desktop().playSound(mb::IconAsterisk);
}

// The balloon should come while the user is at the machine but has paused. The wait
// blocks without running the event loop; it runs only in scheduled runs, before any
// window is shown. Where nothing can tell the idle time, every step would end the wait
// unanswered, so it is not begun. False when a quit (a logout) ended it.
bool TrayAnnouncer::WaitForIdleUser()
{
    platform::Desktop& desktop = platform::desktop();
    if (desktop.idleMilliseconds() < 0) {
        qCInfo(lcClient) << "The idle time cannot be read; announcing without waiting";
        return true;
    }
    qCInfo(lcClient) << "Waiting for the user to pause before announcing";
    platform::WaitClock& clock = clock_ ? *clock_ : platform::systemWaitClock();
    const platform::IdleWaitResult result =
        platform::waitForIdleUser(desktop, clock, {}, [] { return platform::terminationRequested(); });
    if (result == platform::IdleWaitResult::TimedOut)
        qCInfo(lcClient) << "The user did not pause; announcing all the same";
    if (result != platform::IdleWaitResult::Stopped)
        return true;
    qCInfo(lcClient) << "The program is ending; not announcing";
    return false;
}

}  // namespace client
