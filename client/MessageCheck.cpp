#include "client/MessageCheck.h"

#include "client/BrevantDoc.h"
#include "client/Database.h"
#include "client/Globals.h"
#include "client/ResString.h"
#include "client/ServerSession.h"
#include "client/Trace.h"
#include "platform/ui/Ui.h"

namespace client {

namespace mb = platform::mb;

namespace {

const QString kTestMark = QStringLiteral(" -- Message from Test Server");

}  // namespace

MessageCheck::MessageCheck(CBrevantDoc* document, QObject* parent) : QObject(parent), document_(document) {}

MessageCheck::Result MessageCheck::Run()
{
    // A command, a page call or a tray click dispatched while a call waits must not start
    // a second check over the same entries.
    if (running_) {
        qCInfo(lcClient) << "A message check is under way; not starting another";
        return Result::AlreadyRunning;
    }
    running_ = true;
    emit runningChanged(true);
    const bool completed = CheckAll();
    running_ = false;
    emit runningChanged(false);
    return completed ? Result::Completed : Result::Failed;
}

bool MessageCheck::CheckForNewMessages()
{
    const Result result = Run();
    if (result == Result::AlreadyRunning)
        return false;
    const bool done = result == Result::Completed;
    if (done)
        emit completed(client::runState().scheduledRun);
    if (!done || closeAfterCheck_) {
        closeAfterCheck_ = false;
        emit closeRequested();
    }
    return done;
}

bool MessageCheck::CheckAll()
{
    const QString today = TodayDateText();
    MfgrModel& model = document_->Model();
    if (model.entries.empty() && !client::runState().scheduledRun)
        platform::messageBox(QStringLiteral("You cannot receive messages because you have no registration records.\n\n"
                                            "Please import a registration file or register a product."),
                             QStringLiteral("Error"), mb::IconHand);
    qCInfo(lcClient) << "Checking for new messages for" << model.entries.size() << "manufacturers";
    sqlite3* db = Database::Instance();
    try {
        for (std::size_t i = 0; i < model.entries.size(); ++i)
            CheckEntry(i, today, db);
    } catch (const ProxyError& error) {
        qCWarning(lcClient).noquote() << "The message check failed:" << error.message();
        // Read now: a click on the tray during the check makes the run interactive. A
        // check cut short by a logout has nobody to tell.
        if (!client::runState().scheduledRun && !platform::terminationRequested())
            platform::messageBox(ResString(116, error.message()), ResString(117), mb::IconHand);
        return false;
    }
    return true;
}

// Each call waits with the event loop running, so the entry is taken afresh by its index
// after each one rather than held across it.
void MessageCheck::CheckEntry(std::size_t index, const QString& today, sqlite3* db)
{
    const client::RunState& run = client::runState();
    std::vector<MfgrEntry>& entries = document_->Model().entries;
    const RecordMap request = ServiceRequestMap(entries[index].code);
    ServerSession session(MessageServiceUrl(run.testRun));
    // What the entry's check stores goes in one commit at its end, or when a failed call
    // ends it early, as the channels must then be kept.
    Database::Batch batch(db);

    const std::vector<Channel> channels = session.GetChannelsForMfgr(request);
    MfgrEntry& entry = entries[index];
    const std::size_t known = entry.channels.size();
    entry.CollectChannels(channels);
    for (Channel& channel : entry.channels)
        channel.Save(db);
    // A new channel subscribed every record to it; that is stored now, so a failing offers
    // call cannot lose it (the channel, already stored, would never count as new again).
    if (entry.channels.size() != known)
        for (RegRecord& record : entry.records)
            record.Save(db);

    const std::vector<Message> offers = session.GetOffersForRecords(request, entries[index]);
    MfgrEntry& checked = entries[index];
    MessageList& messages = document_->Messages();
    QStringList channelSet;
    for (const Message& offer : offers) {
        Message message = offer;
        message.params.insert(QStringLiteral("mfgr"), checked.code);
        message.params.insert(QStringLiteral("added"), today);
        if (run.testRun)
            message.params.insert(QStringLiteral("title"),
                                  GetField(message.params, QStringLiteral("title")) + kTestMark);
        messages.Add(message);
        const QString channel = GetField(message.params, QStringLiteral("channel"));
        if (!channelSet.contains(channel))
            channelSet << channel;
    }
    channelSet.sort();
    RegRecord::UpdateLastCheck(checked.records, channelSet, db);
    document_->SaveMessages();
    qCInfo(lcClient) << "Checked" << checked.code << ':' << channels.size() << "channels," << offers.size() << "offers";

    document_->RebuildShownList();
    document_->UpdateAllViews();
    emit entryChecked();
}

}  // namespace client
