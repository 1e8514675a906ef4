#include "client/ui/BrevantView.h"

#include "client/BrevantDoc.h"
#include "client/Globals.h"
#include "client/ImportCommand.h"
#include "client/InstanceGuard.h"
#include "client/MessageCheck.h"
#include "client/RecordMap.h"
#include "client/Settings.h"
#include "client/Trace.h"
#include "client/ui/MessageViewer.h"
#include "client/ui/SettingsEditor.h"
#include "client/ui/TrayAnnouncer.h"
#include "platform/instance/Instance.h"
#include "platform/ui/Ui.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace client {

namespace mb = platform::mb;

CBrevantView::CBrevantView(CBrevantDoc* document, InstanceGuard* guard, QWidget* parent)
    : CBrevantView(document, guard, Services{}, parent)
{}

CBrevantView::CBrevantView(CBrevantDoc* document, InstanceGuard* guard, Services services, QWidget* parent)
    : QWidget(parent), document_(document), guard_(guard), check_(new MessageCheck(document, this)),
      tray_(new TrayAnnouncer(services.tray, services.clock, this)),
      import_(std::make_unique<ImportCommand>(document, check_, std::move(services.chooseImportFile)))
{
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("list"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->header()->setSectionsMovable(true);
    // Without sections the header has none to resize, and so no font to measure, as it
    // stops stretching the last; the columns come with their labels.
    list_->setColumnCount(0);
    list_->header()->setStretchLastSection(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);

    connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { OnListItemActivate(item); });
    if (document_ != nullptr)
        connect(document_, &CBrevantDoc::allViewsUpdated, this, &CBrevantView::OnUpdate);
    connect(check_, &MessageCheck::runningChanged, this, &CBrevantView::checkingChanged);
    connect(check_, &MessageCheck::entryChecked, this, &CBrevantView::SizeColumns);
    connect(check_, &MessageCheck::completed, this, &CBrevantView::NotifyNewMessages);
    connect(check_, &MessageCheck::closeRequested, this, &CBrevantView::PostClose);
    connect(tray_, &TrayAnnouncer::activated, this, &CBrevantView::OnTrayNotify);
}

// The icon goes before the message window does.
CBrevantView::~CBrevantView()
{
    tray_->RemoveIcon();
}

void CBrevantView::AddMessageWindowAction(QAction* action)
{
    windowActions_ << action;
    if (viewer_)
        viewer_->addAction(action);
}

CMessageViewer* CBrevantView::Viewer()
{
    if (!viewer_)
        CreateMessageWindow();
    return viewer_.get();
}

// The message window is a top-level window of its own, hidden until there is something
// to show. Its buttons and its pages' calls come back here.
void CBrevantView::CreateMessageWindow()
{
    viewer_ = std::make_unique<CMessageViewer>();
    viewer_->SetDocument(document_);
    viewer_->addActions(windowActions_);
    CMessageViewer* viewer = viewer_.get();
    connect(viewer, &CMessageViewer::nextRequested, this, [this] {
        StepSelection(+1);
        ShowMessage();
    });
    connect(viewer, &CMessageViewer::previousRequested, this, [this] {
        StepSelection(-1);
        ShowMessage();
    });
    connect(viewer, &CMessageViewer::deleteRequested, this, &CBrevantView::OnDeleteMessage);
    connect(viewer, &CMessageViewer::settingsRequested, this, &CBrevantView::OnSettings);
    connect(viewer, &CMessageViewer::checkRequested, this, &CBrevantView::OnCheckFromPage);
    // Closing the message window ends the program.
    connect(viewer, &CMessageViewer::closed, this, [this] { window()->close(); });
    if (placeNearTray_)
        PlaceNearTray();
}

void CBrevantView::OnInitialUpdate()
{
    const client::RunState& run = client::runState();
    placeNearTray_ = run.scheduledRun;

    // Publish the window so that a second start can bring it forward.
    if (guard_ && guard_->IsFirst()) {
        raiseServer_ = new platform::WindowRaiseServer(this);
        connect(raiseServer_, &platform::WindowRaiseServer::raiseRequested, this, [this] { Viewer()->BringToFront(); });
        QString error;
        const quint32 token = raiseServer_->listen(guard_->WindowName(), &error);
        if (token != 0) {
            guard_->SetWindowHandle(token);
            qCInfo(lcClient) << "Message window published for later starts";
        } else
            qCWarning(lcClient).noquote() << "Message window not published for later starts:" << error;
    }

    list_->setHeaderLabels({QStringLiteral("Manufacturer"), QStringLiteral("Message"), QStringLiteral("Date")});
    listReady_ = true;
    FillMessageList();
    SizeColumns();

    const bool optedIn = GetSetting(QStringLiteral("UserOptIn")) == u"1";
    // A failed check has shown its error and asked the frame to close; the road ends there.
    if (optedIn && !CheckForNewMessages())
        return;

    SelectFirstUnread();

    if (!client::runState().scheduledRun) {
        ShowMessage();
        return;
    }
    if (unreadCount_ > 0) {
        // An opted-in run announced at the end of its check.
        if (!optedIn)
            NotifyNewMessages(true);
        current_ = 0;
    } else {
        qCInfo(lcClient) << "Scheduled run with nothing unread; ending";
        PostClose();
    }
}

void CBrevantView::OnUpdate()
{
    if (!listReady_)
        return;
    FillMessageList();
    if (current_ >= list_->topLevelItemCount())
        current_ = -1;
}

void CBrevantView::FillMessageList()
{
    list_->clear();
    unreadCount_ = 0;
    const MessageList& messages = document_->Messages();
    QList<QTreeWidgetItem*> items;
    for (const QString& id : document_->ShownIds()) {
        const Message& message = messages.GetAt(messages.IndexOf(id));
        if (message.IsEmpty() || message.deleted || GetField(message.params, QStringLiteral("url")).isEmpty())
            continue;
        auto* item = new QTreeWidgetItem(QStringList{
            GetField(message.params, QStringLiteral("mfgr")), GetField(message.params, QStringLiteral("title")),
            FormatDisplayDate(GetField(message.params, QStringLiteral("added")))});
        item->setData(0, Qt::UserRole, message.id);
        items << item;
        if (message.unread)
            ++unreadCount_;
    }
    list_->addTopLevelItems(items);
}

// The manufacturer and date columns fit their contents (never narrower than their
// headers); the title takes what is left. Measuring text loads the font database, a good
// part of a start that shows nothing, so a list nobody sees is sized when it is shown.
void CBrevantView::SizeColumns()
{
    if (!list_->isVisible()) {
        columnsPending_ = true;
        return;
    }
    columnsPending_ = false;
    QHeaderView* header = list_->header();
    list_->resizeColumnToContents(0);
    list_->resizeColumnToContents(2);
    const int rest = list_->viewport()->width() - header->sectionSize(0) - header->sectionSize(2) - 25;
    header->resizeSection(1, qMax(rest, header->sectionSizeHint(1)));
}

void CBrevantView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (columnsPending_)
        SizeColumns();
}

void CBrevantView::OnListItemActivate(QTreeWidgetItem* item)
{
    current_ = list_->indexOfTopLevelItem(item);
    ShowMessage();
}

void CBrevantView::ShowMessage()
{
    if (current_ < 0) {
        Viewer()->ShowEmptyPage();
        Viewer()->show();
        return;
    }
    ShowMessageById(ItemId(current_));
}

void CBrevantView::ShowMessageById(const QString& id)
{
    const int position = int(document_->ShownIds().indexOf(id));
    if (position < 0) {
        platform::messageBox(QStringLiteral("Invalid message id specified."), QStringLiteral("Error"), mb::IconHand);
        return;
    }
    MessageList& messages = document_->Messages();
    Message& message = messages.GetAt(messages.IndexOf(id));
    if (!message.IsEmpty() && !GetField(message.params, QStringLiteral("url")).isEmpty() &&
        Viewer()->ShowMessageAt(position)) {
        if (message.unread) {
            message.unread = false;
            --unreadCount_;
            NotifyNewMessages(false);
        }
        // Read, and so to be saved.
        message.modified = true;
        Viewer()->ShowLoadingPage();
        Viewer()->show();
        return;
    }
    platform::messageBox(QStringLiteral("That message is broken.  Please try another."), QStringLiteral("Error"),
                         mb::IconHand);
}

// The walk is bounded by the number of items: with no item current it would never come
// back to where it began.
void CBrevantView::StepSelection(int step)
{
    const int count = list_->topLevelItemCount();
    if (count == 0) {
        current_ = -1;
        return;
    }
    const int start = current_;
    int target = start >= count ? -1 : start;
    int index = start;
    for (int walked = 0; walked < count; ++walked) {
        index += step;
        if (index >= count)
            index = 0;
        else if (index < 0)
            index = count - 1;
        if (index == start)
            break;
        if (IsShowable(index)) {
            target = index;
            break;
        }
    }
    if (QTreeWidgetItem* old = start >= 0 ? list_->topLevelItem(start) : nullptr)
        old->setSelected(false);
    if (QTreeWidgetItem* item = target >= 0 ? list_->topLevelItem(target) : nullptr) {
        list_->setCurrentItem(item);
        item->setSelected(true);
    }
    current_ = target;
}

void CBrevantView::SelectFirstUnread()
{
    current_ = -1;
    const int count = list_->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        StepSelection(1);
        if (current_ >= 0 && IsUnread(current_))
            return;
    }
    current_ = -1;
    StepSelection(1);
}

QString CBrevantView::ItemId(int index) const
{
    const QTreeWidgetItem* item = list_->topLevelItem(index);
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

bool CBrevantView::IsShowable(int index) const
{
    const MessageList& messages = document_->Messages();
    const Message& message = messages.GetAt(messages.IndexOf(ItemId(index)));
    return !message.IsEmpty() && !GetField(message.params, QStringLiteral("url")).isEmpty();
}

bool CBrevantView::IsUnread(int index) const
{
    const MessageList& messages = document_->Messages();
    return messages.GetAt(messages.IndexOf(ItemId(index))).unread;
}

void CBrevantView::OnTrayNotify()
{
    // From now on the run is interactive: no more balloons, and errors are shown.
    client::runState().scheduledRun = false;
    SelectFirstUnread();
    ShowMessage();
    Viewer()->BringToFront();
}

// Posted, as the close message is: it takes effect once the caller has returned to the loop.
void CBrevantView::PostClose()
{
    if (QWidget* frame = window(); frame != this)
        QMetaObject::invokeMethod(frame, &QWidget::close, Qt::QueuedConnection);
}

// The message window of a scheduled run opens in the corner where the tray usually is.
void CBrevantView::PlaceNearTray()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->availableGeometry();
    QStyle* style = viewer_->style();
    const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const int caption = style->pixelMetric(QStyle::PM_TitleBarHeight);
    viewer_->move(area.x() + area.width() - viewer_->width() - 2 * frame - 10,
                  area.y() + area.height() - viewer_->height() - frame - caption);
}

// ---- Handed on: the tray's announcing, the message check, the import -------------

void CBrevantView::NotifyNewMessages(bool announce)
{
    tray_->NotifyNewMessages(unreadCount_, announce);
}

bool CBrevantView::TrayIconShown() const
{
    return tray_->IconShown();
}

bool CBrevantView::IsChecking() const
{
    return check_->IsRunning();
}

bool CBrevantView::CheckForNewMessages()
{
    return check_->CheckForNewMessages();
}

void CBrevantView::CloseAfterCheck()
{
    check_->CloseAfterCheck();
}

void CBrevantView::OnImportRegistration()
{
    import_->Run(window());
}

// ---- The message window's requests ------------------------------------------------------

void CBrevantView::OnDeleteMessage()
{
    document_->DeleteMessage(Viewer()->CurrentId());
    // The last of the list went: the one before it is shown.
    if (Viewer()->CurrentIndex() >= document_->ShownIds().size())
        StepSelection(-1);
    ShowMessage();
}

void CBrevantView::OnSettings()
{
    RunSettingsSheet(Viewer(), document_->Model());
}

// The welcome page's opt-in asked for a check; the page has done its work.
void CBrevantView::OnCheckFromPage()
{
    document_->DeleteMessage(Viewer()->CurrentId());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    CheckForNewMessages();
    FillMessageList();
    SelectFirstUnread();
    ShowMessage();
    QApplication::restoreOverrideCursor();
}

}  // namespace client
