#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace launcher {

class RegWind;

// What the e-mail run asks of the desktop, replaceable by tests and script-preview.
struct EmailRunHooks {
    // The path to save the text file at, proposing `proposedName`; empty is a cancel. The
    // default shows a save-file dialog that asks before overwriting.
    std::function<QString(const QString& proposedName)> chooseFile;
    // The mail library files to try; empty takes the installed one.
    QStringList mailLibrary;
};

// The e-mail run: the record between ">BeginFields" and ">EndFields" lines, sent through
// the mail system when the window may use it and it is there, else saved as a text file
// that the user mails himself. True when sent or saved; the window then hears
// "registered". With `leaveOutPrivate` private codes stay out of the text.
bool RegisterByEmail(RegWind& window, bool leaveOutPrivate, const EmailRunHooks& hooks = {});

// The mail's subject: the last name ("Unknown" when empty), a blank, the product code and
// " Registration".
QString EmailSubject(const QString& lastName, const QString& product);

}  // namespace launcher
