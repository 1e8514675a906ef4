#include "client/MessageViewer.h"

#include "client/BrevantDoc.h"
#include "client/BrevantView.h"
#include "client/ResString.h"
#include "client/ScheduledTask.h"
#include "client/Settings.h"
#include "client/Trace.h"

CMessageViewer::CMessageViewer(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(ResString(57344));
    resize(475, 385);
}

void CMessageViewer::SetDocument(CBrevantDoc* document, CBrevantView* view)
{
    document_ = document;
    view_ = view;
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
    currentIndex_ = position;
    setWindowTitle(GetField(message.params, QStringLiteral("title")));
    return true;
}

void CMessageViewer::ShowLoadingPage()
{
    qCInfo(lcClient) << "Showing message" << currentId_ << currentUrl_;
}

void CMessageViewer::ShowEmptyPage()
{
    currentIndex_ = -1;
    setWindowTitle(ResString(57344));
    qCInfo(lcClient) << "Showing the empty page";
}

void CMessageViewer::BringToFront()
{
    qCInfo(lcClient) << "Bringing the message window to the front";
    if (isVisible()) {
        raise();
        activateWindow();
    }
}

void CMessageViewer::reject()
{
    // A user who never opted in gets no further scheduled checks.
    if (GetSetting(QStringLiteral("UserOptIn")) != u"1")
        DeleteCheckTask();
    hide();
    if (view_ != nullptr && view_->window() != nullptr)
        view_->window()->close();
}
