#pragma once

#include <QString>
#include <QStringList>

namespace client {

// The client's command line. Only the five switch names below, written with "/" or "-"
// in any case, are switches: Linux paths begin with "/", so everything else is a plain
// argument ("/import /home/u/x.tova" imports that file).
//   /reset            delete every message before the document opens
//   /auto             a scheduled run
//   /import [file]    import that registration file instead of the data folder
//   /test             use the test message service
//   /schedule [time]  create the scheduled check task and end
class VaskCommandLineInfo {
public:
    bool autoRun = false;
    bool reset = false;
    bool import = false;
    bool schedule = false;
    bool test = false;
    QString importPath;
    QString scheduleText;
    // Plain arguments no slot took, in order; the client opens a new document regardless.
    QStringList otherArguments;

    void Parse(const QStringList& arguments);  // without the program name
    // The runs that show nothing unless the user asks: they go on without a display.
    bool NeedsNoDisplay() const { return autoRun || schedule; }
    void ParseParam(const QString& param, bool isSwitch, bool last);

    // The switch name of `argument` ("import" for "-IMPORT"), or empty when it is plain.
    static QString SwitchName(const QString& argument);
};

}  // namespace client
