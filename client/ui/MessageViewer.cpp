#include "client/ui/MessageViewer.h"

#include "client/BrevantDoc.h"
#include "client/ResString.h"
#include "client/ScheduledTask.h"
#include "client/Settings.h"
#include "client/Trace.h"
#include "client/ui/HoverButton.h"
#include "platform/shell/Shell.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QTimerEvent>

namespace client {

namespace {

// The window's own posted message: start the check that a page asked for.
constexpr QEvent::Type kRunCheckEvent = QEvent::Type(QEvent::User + 2);

// Client area and the band under the browser where the controls sit.
constexpr int kWidth = 475;
constexpr int kHeight = 385;
constexpr int kBrowserHeight = 345;
constexpr int kButtonTop = 349;
constexpr int kCheckDelayMs = 250;

}  // namespace

const QString& CMessageViewer::WelcomeMessageId()
{
    static const QString id = QStringLiteral("44cc1539-8360-4de3-8981-f70bb6c73714");
    return id;
}

QString CMessageViewer::MessagesFolder()
{
    return platform::moduleDirectory() + QStringLiteral("/messages");
}

CMessageViewer::CMessageViewer(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      progress_(new QProgressBar(this)), counter_(new QLabel(this)), delete_(new CHoverButton(this)),
      settings_(new CHoverButton(this)), previous_(new CHoverButton(this)), next_(new CHoverButton(this))
{
    setWindowTitle(ResString(57344));
    setWindowIcon(QIcon(QStringLiteral(":/client/ICON/128")));

    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setTextVisible(false);
    progress_->setRange(0, 100);
    progress_->resize(140, 12);
    progress_->hide();
    counter_->setObjectName(QStringLiteral("counter"));
    counter_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    counter_->resize(130, counter_->fontMetrics().height() + 2);

    const struct {
        CHoverButton* button;
        const char* name;
        const char* bitmaps;
        int tip;
        void (CMessageViewer::*handler)();
    } buttons[] = {
        {delete_, "delete", "TRASH", 110, &CMessageViewer::DeleteMssage},
        {settings_, "settings", "SETTINGS", 113, &CMessageViewer::OnSettings},
        {previous_, "previous", "PREV", 112, &CMessageViewer::PrevMssage},
        {next_, "next", "NEXT", 111, &CMessageViewer::NextMessage},
    };
    for (const auto& b : buttons) {
        b.button->setObjectName(QString::fromLatin1(b.name));
        b.button->LoadBitmaps(QString::fromLatin1(b.bitmaps));
        b.button->SizeToContent();
        b.button->setToolTip(ResString(b.tip));
        connect(b.button, &QAbstractButton::clicked, this, b.handler);
    }
    LayoutControls();
}

CMessageViewer::~CMessageViewer() = default;

// A check or an import changes the shown list while a message is on screen: the counter
// and the buttons follow it, the message keeping its place by its id. A message that left
// the list keeps its old place, from which the delete goes on to the next one.
void CMessageViewer::SetDocument(CBrevantDoc* document)
{
    if (document_ != nullptr)
        disconnect(document_, nullptr, this, nullptr);
    document_ = document;
    if (document_ == nullptr)
        return;
    connect(document_, &CBrevantDoc::allViewsUpdated, this, [this] {
        const int at = int(document_->ShownIds().indexOf(currentId_));
        if (currentIndex_ >= 0 && at >= 0)
            currentIndex_ = at;
        UpdateCounter();
        UpdateButtons();
    });
}

// Fixed pixel positions: the browser fills the top, the buttons sit in the band below it,
// the counter ends 20 pixels left of Previous and the progress bar starts 20 pixels right
// of Settings, both centred in the band.
void CMessageViewer::LayoutControls()
{
    setFixedSize(kWidth, kHeight);
    const QSize button = delete_->size();
    delete_->setGeometry(QRect(QPoint(3, kButtonTop), button));
    settings_->setGeometry(QRect(QPoint(38, kButtonTop), button));
    previous_->setGeometry(QRect(QPoint(405, kButtonTop), button));
    next_->setGeometry(QRect(QPoint(440, kButtonTop), button));
    const int band = kHeight - kBrowserHeight;
    counter_->move(previous_->x() - 20 - counter_->width(), kBrowserHeight + (band - counter_->height()) / 2);
    progress_->move(settings_->geometry().right() + 1 + 20, kBrowserHeight + (band - progress_->height()) / 2);
    if (browser_ != nullptr)
        browser_->setGeometry(0, 0, kWidth, kBrowserHeight);
}

// The engine starts with the first page the window shows, so a run that never shows the
// window never starts it.
MessageBrowser* CMessageViewer::EnsureBrowser()
{
    if (!browserMade_) {
        browserMade_ = true;
        browser_ = messageBrowserMaker().MakeBrowser(this, this);
        if (browser_ != nullptr) {
            browser_->setObjectName(QStringLiteral("browser"));
            browser_->setGeometry(0, 0, kWidth, kBrowserHeight);
            connect(browser_, &MessageBrowser::DocumentComplete, this, &CMessageViewer::OnDocumentComplete);
            connect(browser_, &MessageBrowser::ProgressChange, this, &CMessageViewer::OnProgressChange);
            browser_->show();
            browser_->setFocus();
        }
    }
    return browser_;
}

void CMessageViewer::Navigate(const QUrl& url)
{
    if (MessageBrowser* browser = EnsureBrowser())
        browser->Navigate(url);
}

bool CMessageViewer::ShowMessageAt(int position)
{
    currentIndex_ = -1;
    if (document_ == nullptr)
        return false;
    const QString id = document_->ShownIds().value(position);
    const Message& message = document_->Messages().GetAt(document_->Messages().IndexOf(id));
    const QString url = GetField(message.params, QStringLiteral("url"));
    if (message.IsEmpty() || url.isEmpty())
        return false;
    currentUrl_ = url;
    currentId_ = message.id;
    if (currentId_.isEmpty())
        return false;
    currentIndex_ = position;
    setWindowTitle(GetField(message.params, QStringLiteral("title")));
    return true;
}

void CMessageViewer::ShowLoadingPage()
{
    qCInfo(lcClient) << "Showing message" << currentId_ << currentUrl_;
    UpdateCounter();
    UpdateButtons();
    navigationPending_ = true;
    Navigate(MessageBrowser::ResourceUrl(QStringLiteral("LOADING.HTML")));
}

void CMessageViewer::ShowEmptyPage()
{
    qCInfo(lcClient) << "Showing the empty page";
    currentIndex_ = -1;
    setWindowTitle(ResString(57344));
    UpdateCounter();
    UpdateButtons();
    navigationPending_ = false;
    // The installed page; the program's own copy when the installation lost it.
    const QString installed = MessagesFolder() + QStringLiteral("/EMPTY.HTML");
    Navigate(QFileInfo::exists(installed) ? QUrl::fromLocalFile(installed)
                                          : MessageBrowser::ResourceUrl(QStringLiteral("EMPTY.HTML")));
}

void CMessageViewer::UpdateCounter()
{
    const int count = document_ != nullptr ? int(document_->ShownIds().size()) : 0;
    counter_->setText(ResString(115, currentIndex_ + 1, count));
}

void CMessageViewer::UpdateButtons()
{
    const QStringList none;
    const QStringList& shown = document_ != nullptr ? document_->ShownIds() : none;
    next_->setEnabled(shown.size() > 1);
    previous_->setEnabled(shown.size() > 1);
    delete_->setEnabled(!shown.isEmpty() && currentId_ != WelcomeMessageId());
}

void CMessageViewer::BringToFront()
{
    qCInfo(lcClient) << "Bringing the message window to the front";
    if (isVisible()) {
        // A minimized window is not forward until it is restored.
        if (isMinimized())
            setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        raise();
        activateWindow();
    }
}

// Every page is shown in two loads: the loading page, then the message's own page with
// the progress bar showing. Loads that fail move on like loads that succeed, so a page
// that cannot be had never leaves the window waiting; stopped loads report nothing.
void CMessageViewer::OnDocumentComplete(const QUrl&, bool)
{
    if (checkPending_) {
        // The check starts from the event loop, not inside the browser's report.
        checkPending_ = false;
        checkTimer_ = startTimer(kCheckDelayMs);
        return;
    }
    if (navigationPending_) {
        navigationPending_ = false;
        const QUrl url(currentUrl_);
        if (!MessageBrowser::IsMessageUrl(url)) {
            // The service named a page of a kind the window does not follow.
            ShowEmptyPage();
            return;
        }
        progress_->setRange(0, 100);
        progress_->setValue(0);
        progress_->show();
        browser_->NavigateToMessage(url);
        return;
    }
    progress_->hide();
}

void CMessageViewer::OnProgressChange(int progress, int maximum)
{
    if (progress >= 0 && maximum > 0)
        progress_->setValue(progress * 100 / maximum);
}

void CMessageViewer::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != checkTimer_ || checkTimer_ == 0) {
        QDialog::timerEvent(event);
        return;
    }
    killTimer(checkTimer_);
    checkTimer_ = 0;
    QCoreApplication::postEvent(this, new QEvent(kRunCheckEvent));
}

bool CMessageViewer::event(QEvent* event)
{
    if (event->type() == kRunCheckEvent) {
        OnRunCheck();
        return true;
    }
    return QDialog::event(event);
}

void CMessageViewer::OnRunCheck()
{
    emit checkRequested();
}

void CMessageViewer::NextMessage()
{
    emit nextRequested();
}

void CMessageViewer::PrevMssage()
{
    emit previousRequested();
}

void CMessageViewer::DeleteMssage()
{
    emit deleteRequested();
}

void CMessageViewer::ShowSettings()
{
    OnSettings();
}

void CMessageViewer::OnSettings()
{
    emit settingsRequested();
}

void CMessageViewer::StartMessaging()
{
    SetSetting(QStringLiteral("UserOptIn"), QStringLiteral("1"));
    ScheduleCheckTask(FrequencyFromSetting(GetSetting(QStringLiteral("UpdateFrequency"))), QString());
    checkPending_ = true;
    Navigate(MessageBrowser::ResourceUrl(QStringLiteral("CHECKING.HTML")));
}

void CMessageViewer::accept() {}

void CMessageViewer::reject()
{
    // A user who never opted in gets no further scheduled checks.
    if (GetSetting(QStringLiteral("UserOptIn")) != u"1")
        DeleteCheckTask();
    QDialog::reject();
    hide();
    emit closed();
}

}  // namespace client
