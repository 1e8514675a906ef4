#pragma once

#include "regengine/core/FieldList.h"
#include "regengine/core/LangCode.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace engine {
class TextDisplayer;
}  // namespace engine

namespace launcher {

class CMainFrame;
class RegWind;
class ScriptReader;

// The launcher's process: start-up (command line, language, page script), the first-run
// test and the run of the hidden registration window until its quit.
class OvexVaskStubRegApp {
public:
    // What start-up takes from outside; tests replace these.
    struct Services {
        QString resourceModule = QStringLiteral("launcher");  // where the page script is found
        std::function<std::optional<QString>()> makeUuid;     // empty: libuuid
    };

    OvexVaskStubRegApp();
    explicit OvexVaskStubRegApp(Services services);
    ~OvexVaskStubRegApp();
    OvexVaskStubRegApp(const OvexVaskStubRegApp&) = delete;
    OvexVaskStubRegApp& operator=(const OvexVaskStubRegApp&) = delete;

    // Start-up. False when the program ends here; EndCode() then gives its exit code.
    bool InitInstance(const QStringList& arguments);
    // Loads and runs the page script, runs the first-run test and starts the window.
    // False when the program ends here (no script: 1; not a first run: 0).
    bool RunRegistrationWindow(const QString& flags);
    // InitInstance, then the event loop until a quit; returns the exit code.
    int Run(const QStringList& arguments);

    int EndCode() const { return endCode_; }
    const engine::LangCode& GetLanguage() const { return language_; }
    const engine::FieldList& GetCommandLineFields() const { return commandLineFields_; }
    const QString& GetPassThrough() const { return passThrough_; }
    int GetStartMode() const { return startMode_; }
    ScriptReader* GetScriptReader() const { return reader_.get(); }
    // The registration window once the script has run, else null.
    RegWind* GetMainWindow() const { return mainWindow_; }

private:
    Services services_;
    engine::LangCode language_;
    engine::FieldList commandLineFields_;
    QString passThrough_;
    QString serialNumberLocation_;
    int startMode_ = -1;
    std::unique_ptr<engine::TextDisplayer> trace_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<ScriptReader> reader_;
    RegWind* mainWindow_ = nullptr;
    int endCode_ = 1;
};

}  // namespace launcher
