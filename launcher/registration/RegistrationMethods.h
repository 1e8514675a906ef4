#pragma once

#include <QChar>
#include <QString>

namespace launcher {

// The registration window's runs by method (modem, e-mail, printed form, internet), the
// status they leave in the engine key, and the prefs bookkeeping around them. No method is
// built yet, so every run fails and nothing is written.
class RegistrationMethods {
public:
    // Runs `method` (empty: the page's choice). True when it registered; `status` gets the
    // letter the run leaves, 'F' for a failure.
    bool Register(const QString& method, QChar& status);
    // The status letter into the engine key's "RegStatus".
    void WriteRegStatus(QChar letter);
    // The window's fields into the prefs file.
    void SavePrefs();
    // What follows a successful run: the registered items, the private prefs, the reminder
    // deleted and the clean-up the script asked for.
    void OnRegistered();
};

}  // namespace launcher
