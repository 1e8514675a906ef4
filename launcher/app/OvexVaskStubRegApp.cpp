#include "launcher/app/OvexVaskStubRegApp.h"

#include "launcher/app/MainFrame.h"
#include "launcher/window/OvexVaskStubRegWind.h"
#include "launcher/app/QmCommandLineInfo.h"
#include "launcher/script/ScriptReader.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/ui/display/TextDisplayer.h"

#include "platform/nls/Nls.h"
#include "platform/text/Ascii.h"

#include <QApplication>

using namespace engine;

namespace launcher {

OvexVaskStubRegApp::OvexVaskStubRegApp() : OvexVaskStubRegApp(Services{}) {}

OvexVaskStubRegApp::OvexVaskStubRegApp(Services services)
    : services_(std::move(services)), language_(QmCommandLineInfo::NoLanguage())
{}

OvexVaskStubRegApp::~OvexVaskStubRegApp()
{
    // The window may still trace while it goes, so the trace displayer goes last.
    mainWindow_ = nullptr;
    reader_.reset();
    frame_.reset();
    SetTraceDisplayer(nullptr);
    trace_.reset();
}

bool OvexVaskStubRegApp::InitInstance(const QStringList& arguments)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quenmark"));

    trace_ = std::make_unique<TextDisplayer>();
    SetTraceDisplayer(trace_.get());

    QmCommandLineInfo info(&commandLineFields_);
    info.ParseCommandLine(arguments);
    // The frame belongs to the printed form's document; the product never shows it.
    frame_ = std::make_unique<CMainFrame>();
    if (!frame_->Create()) {
        EngineTrace(QStringLiteral("The main frame could not be created"));
        endCode_ = 1;
        return false;
    }

    const QString flags = info.GetFlags();
    passThrough_ = info.GetPassThrough();
    serialNumberLocation_ = info.GetSerialNumberLocation();
    LangCode::SetMapping(LangCode("CHS"), LangCode("ZH"));
    language_ = info.GetLanguage();
    if (language_ == QmCommandLineInfo::NoLanguage())
        language_ = LangCode(platform::asciiUpper(platform::languageAbbreviation()));
    LangCode::SetCurrent(language_);
    startMode_ = info.GetMode();
    return RunRegistrationWindow(flags);
}

bool OvexVaskStubRegApp::RunRegistrationWindow(const QString& flags)
{
    const std::optional<QString> script = ScriptReader::LoadPageScript(language_, services_.resourceModule);
    if (!script) {
        ScriptReader::ReportNoPageScript();
        endCode_ = 1;
        return false;
    }
    reader_ = std::make_unique<ScriptReader>(std::make_unique<QmStrStream>(*script), flags, language_);
    reader_->SetResourceModule(services_.resourceModule);
    reader_->SetWindowFactory(&CreateStubRegWind);
    reader_->SetCommandLineFields(&commandLineFields_);
    reader_->SetSerialNumberLocation(serialNumberLocation_);
    reader_->Run();

    mainWindow_ = reader_->GetWindow();
    if (mainWindow_ == nullptr) {
        EngineTrace(QStringLiteral("The page script made no registration window"));
        endCode_ = 1;
        return false;
    }
    mainWindow_->SetPassThroughText(passThrough_);
    if (auto* stub = dynamic_cast<OvexVaskStubRegWind*>(mainWindow_); stub != nullptr && services_.makeUuid)
        stub->SetUuidMaker(services_.makeUuid);

    if (!mainWindow_->StartMode(startMode_)) {
        endCode_ = 0;
        return false;
    }
    mainWindow_->ShowStartPage(-1);
    return true;
}

int OvexVaskStubRegApp::Run(const QStringList& arguments)
{
    if (!InitInstance(arguments))
        return endCode_;
    // A quit posted during start-up (the start event's attachments post one) is held
    // until the loop runs, and then ends it with its code.
    return QApplication::exec();
}

}  // namespace launcher
