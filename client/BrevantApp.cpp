#include "client/BrevantApp.h"

#include "client/BrevantDoc.h"
#include "client/ui/BrevantView.h"
#include "client/Database.h"
#include "client/Globals.h"
#include "client/ui/MainFrame.h"
#include "client/Message.h"
#include "client/ResString.h"
#include "client/ScheduledTask.h"
#include "client/Settings.h"
#include "client/Trace.h"
#include "client/VaskCommandLineInfo.h"
#include "client/ui/WarningDlg.h"
#include "platform/inet/Inet.h"
#include "platform/instance/Instance.h"
#include "platform/nls/Nls.h"
#include "platform/text/Ascii.h"
#include "platform/text/Format.h"
#include "platform/ui/Ui.h"
#include "platform/version/Version.h"

#include <QApplication>
#include <QThread>

#include <system_error>

namespace client {

namespace {
CBrevantApp* g_app = nullptr;

// A damaged file is no lock that clears by itself: every start would end the same way,
// and the user would never learn why no message comes any more.
void ReportDamagedDatabase(const StorageException& e)
{
    platform::alertUser(
        platform::formatText(QStringLiteral("The message database \"%s\" is damaged (%s).\n\n"
                                            "Ovex Kelvo has left the file as it is and cannot start. Restore the file "
                                            "from a backup, or move it out of its folder to start again without "
                                            "your stored messages."),
                             e.path(), e.reason()),
        ResString(57344), platform::mb::IconHand);
}

// A folder the user cannot read or write, or none at all: like a damaged file, no start
// would get further, so it is said.
void ReportUnusableDatabase(const StorageException& e)
{
    const QString text =
        e.path().isEmpty()
            ? e.message()
            : platform::formatText(QStringLiteral("The message database \"%s\" cannot be opened (%s).\n\n"
                                                  "Make sure you can read and write it and its folder."),
                                   e.path(), e.reason());
    platform::alertUser(text, ResString(57344), platform::mb::IconHand);
}
// Said once a run: a read-only or full data folder fails every save alike. A box asked
// for inside a save that the event loop drives (a check) comes once that work has
// returned to the loop, not in the middle of it.
void ReportFailedSave(const QString& path, const QString& message)
{
    const QString text = platform::formatText(
        QStringLiteral("Ovex Kelvo could not save your changes in \"%s\" (%s).\n\n"
                       "Messages you read or deleted and settings you changed stay as they were stored before. "
                       "Make sure the folder can be written and the disk has room."),
        path, message);
    auto say = [text] { platform::alertUser(text, ResString(57344), platform::mb::IconExclamation); };
    if (QThread::currentThread()->loopLevel() > 0)
        QMetaObject::invokeMethod(QCoreApplication::instance(), say, Qt::QueuedConnection);
    else
        say();
}

}  // namespace

CBrevantApp::CBrevantApp() : CBrevantApp(Services{}) {}

CBrevantApp::CBrevantApp(Services services) : services_(std::move(services))
{
    g_app = this;
    guard_.Open(client::kInstanceId);
}

CBrevantApp::~CBrevantApp()
{
    view_ = nullptr;
    frame_.reset();
    document_.reset();
    guard_.Close();
    if (g_app == this)
        g_app = nullptr;
}

CBrevantApp* CBrevantApp::Instance()
{
    return g_app;
}

bool CBrevantApp::InitInstance(const QStringList& arguments)
{
    // 1. Only one client per session: bring the first one's window forward and end.
    if (!guard_.IsFirst()) {
        QString error;
        if (guard_.HasView() && !platform::requestWindowRaise(guard_.WindowName(), guard_.WindowHandle(), 2000, &error))
            qCInfo(lcClient).noquote() << error;
        return false;
    }

    // 11. The command line, read here already: a scheduled run calls the service as soon as
    // its database is read, and the internet layer's library loads meanwhile. Without a
    // thread to spare it loads at the first call.
    VaskCommandLineInfo cmd;
    cmd.Parse(arguments);
    if (cmd.autoRun && !cmd.schedule) {
        try {
            internetLoad_ = std::jthread([] { ovex_inet_load(); });
        } catch (const std::system_error&) {}
    }

    // 2. The database and its exclusive lock; without them there is nothing to do. A file
    // another process holds ends the run silently; a damaged or unusable one is said.
    try {
        Database::Instance();
    } catch (const StorageException& e) {
        if (e.IsHeldByAnother()) {
            qCWarning(lcClient) << e.message();
            return false;
        }
        if (e.IsDamaged()) {
            ReportDamagedDatabase(e);
            exitCode_ = kExitDamagedDatabase;
        } else {
            ReportUnusableDatabase(e);
            exitCode_ = kExitUnusableDatabase;
        }
        return false;
    }

    Database::SetFailureReporter(ReportFailedSave);

    // 3. Settings.
    Settings::Instance().Load();

    // 4-9. The framework's set-up: names for the profile under Software\Ovex\Ovex Kelvo.
    QCoreApplication::setOrganizationName(client::kMakerName);
    QCoreApplication::setApplicationName(client::kProductName);
    if (auto* gui = qobject_cast<QApplication*>(QCoreApplication::instance()))
        gui->setQuitOnLastWindowClosed(false);

    // 10. Warn on systems older than the program was made for.
    const platform::OsVersion version =
        services_.osVersion ? services_.osVersion->osVersion() : platform::systemOsVersion();
    if (version.major < 6 && GetSetting(QStringLiteral("ShowVistaWarning")) != u"0") {
        platform::beep(platform::mb::IconHand);
        CWarningDlg dialog;
        const int result = services_.runWarning ? services_.runWarning(dialog) : dialog.exec();
        if (result != QDialog::Accepted)
            return false;
        if (dialog.dontShowAgain)
            SetSetting(QStringLiteral("ShowVistaWarning"), QStringLiteral("0"));
    }

    // 12. "/schedule" only creates the task; nothing else of the command line counts.
    if (cmd.schedule) {
        ScheduleCheckTask(0, cmd.scheduleText);
        return false;
    }

    // 13. Flags for the rest of the run.
    client::RunState& run = client::runState();
    run.scheduledRun = cmd.autoRun;
    run.testRun = cmd.test;
    if (cmd.import)
        run.importPath = cmd.importPath;
    if (cmd.reset)
        Message::DeleteAll(QString(), Database::Instance());

    // The language goes into the first check, which the document may already run, so it
    // is set before the document exists.
    run.languageCode = platform::asciiUpper(platform::languageAbbreviation()).left(3).toLatin1();

    // 14. Document, hidden main frame and view.
    if (!CreateDocumentFrame())
        return false;

    // 16. The main frame stays hidden.
    frame_->hide();
    return true;
}

bool CBrevantApp::CreateDocumentFrame()
{
    document_ = std::make_unique<CBrevantDoc>();
    if (!document_->OnNewDocument())
        return false;
    frame_ = std::make_unique<CMainFrame>(document_.get());
    view_ = new CBrevantView(document_.get(), &guard_, services_.view, frame_.get());
    frame_->setCentralWidget(view_);
    // The frame's commands go to the view, and its close waits for a check under way.
    CMainFrame* frame = frame_.get();
    connect(frame, &CMainFrame::checkForMessagesRequested, view_, [view = view_] { view->CheckForNewMessages(); });
    connect(frame, &CMainFrame::importRegistrationRequested, view_, &CBrevantView::OnImportRegistration);
    connect(view_, &CBrevantView::checkingChanged, frame, &CMainFrame::SetCloseDeferred);
    connect(frame, &CMainFrame::closeDeferred, view_, &CBrevantView::CloseAfterCheck);
    view_->AddMessageWindowAction(frame->CheckAction());
    view_->OnInitialUpdate();
    return true;
}

int CBrevantApp::ExitInstance()
{
    guard_.Close();
    return platform::lastQuitCode();
}

int CBrevantApp::Run(const QStringList& arguments)
{
    // Before start-up, so a logout during it is held for the loop rather than killing
    // the program between two saves.
    platform::quitOnTerminationSignals();
    if (!InitInstance(arguments)) {
        ExitInstance();
        return exitCode_;
    }
    // A logout while start-up showed a box was taken by the box's own loop; the program
    // ends as it would have in the loop.
    const int code = platform::terminationRequested() ? 0 : QCoreApplication::exec();
    // A quit that did not come through the frame (a logout's SIGTERM) still closes the
    // document, so what the run changed is saved.
    if (frame_)
        frame_->close();
    ExitInstance();
    return code;
}

}  // namespace client
