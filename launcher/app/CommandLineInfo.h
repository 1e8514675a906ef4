#pragma once

#include <QString>
#include <QStringList>

namespace launcher {

// The application framework's command-line record: the document to open and the shell
// command that start-up runs. ParseCommandLine hands each argument to ParseParam, with a
// leading "/" or "-" removed and the flag set when it had one.
class CommandLineInfo {
public:
    enum class ShellCommand { FileNew, FileOpen, FilePrint };

    virtual ~CommandLineInfo();

    // One argument. Here: the first plain argument names the document to open, the switch
    // "p" prints it; other switches are not the framework's and are ignored.
    virtual void ParseParam(const QString& param, bool flag, bool last);

    // Every argument in order (the program name excluded).
    void ParseCommandLine(const QStringList& arguments);

    ShellCommand GetShellCommand() const;
    const QString& GetFileName() const { return fileName_; }

private:
    QString fileName_;
    bool print_ = false;
};

}  // namespace launcher
