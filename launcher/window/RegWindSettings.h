#pragma once

#include "regengine/core/FieldList.h"
#include "regengine/core/FourCC.h"

#include <QString>

namespace launcher {

// Values the page script gives the window, read by the registration, reminder and update
// runs.
struct RegWindSettings {
    QString webRegSite;                // WEBREGSITE
    QString phones[2];                 // SETPHONES
    int reminderDialogId = 0;          // REMINDID; 0 means the standard dialog
    engine::FourCC successPage;        // REGSUCCESSPAGE
    QString ftpRedirect;               // FTPREDIRECTLOC
    int cancelCommand = 0;             // DEFAULTCANCELCMD; 0 = none
    quint32 cleanupFlags = 0;          // APPCLEANUP: S 1, N 2, R 4, P 8
    int startPages[3] = {-1, -1, -1};  // SETSTARTPAGES: default, reminder, other
    QString ipRedirect;                // IPREDIRECTLOC
    QString rpcRedirect;               // RPCREDIRECTLOC
    int uniqueIdCount = 0;             // GENUNIQUEREGID
    QString uniqueIdCodes;
    QString keyText = QStringLiteral("qmvotrazelpinkuwsb");        // GENUNIQUEREGKEY
    QString reminderLink = QStringLiteral("<PRNM> Registration");  // REMINDLINK
    int reminderDays = 14;                                         // REMINDDAYS
    engine::FourCC regKey = engine::FourCC("PRNM");                // REGKEY
    int resourceUpdate = 0;                                        // RESUPDATE: A 1, F 2, N 0
    engine::FieldList outputOrder;                                 // OUTPUTORDER: codes with empty values
    QString backupMethod;                                          // BACKUPREGMETHOD
    bool externalStart = false;                                    // GETEXTERNALFIELDS found "=SRM" 1
    bool reminderMode = false;
    QString prefsFileName = QStringLiteral("Veldo.dat");  // PREFFILE
    engine::FourCC mailCode;                              // SETMAIL: the address's code
    QString mailAddress;                                  // SETMAIL
    bool useMapi = true;                                  // SETMAIL with a code beginning with 'N' clears it
};

}  // namespace launcher
