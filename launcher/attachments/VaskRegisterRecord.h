#pragma once

#include "launcher/attachments/FieldTest.h"

#include "regengine/core/Attachment.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace launcher {

class RegWind;

// "VaskRegisterRecord", the hand-off to the message client: when its test passes it writes
// the registration file "<PRNM>.tova" from the template "Vask" into the user's data
// sub-folder, then starts the client that the machine's "InstallPath" names, without
// waiting: with "/schedule" and the local time `hours` ahead, or, with hours 0, with
// "/import" and the file.
// Script: test, sub-folder (token; "Ovex\\Ovex Kelvo"), hours (decimal).
class VaskRegisterRecord : public engine::AttachmentType<VaskRegisterRecord> {
public:
    bool ExecuteSelf(engine::Attachable* attachable, quint32 event) override;
    void ReadParameters(engine::QmStrStream& stream) override;

    const FieldTest& GetTest() const { return test_; }
    const QString& GetSubFolder() const { return subFolder_; }
    int GetHours() const { return hours_; }

    // The client's arguments after its path: "/schedule" and the local time `hours` after
    // `now` ("yyyy-MM-ddTHH:mm:ss"), or, for 0 hours, "/import" and the file.
    static QStringList ClientArguments(int hours, const QString& file, const QDateTime& now);

    // The registration file's bytes: each template line with the window's tags substituted,
    // the marker line "<<FIELDS>>" (any case, blanks around it) replaced by the window's
    // record, one "code:value" line a field; UTF-8, line feeds, no byte-order mark.
    static QByteArray RenderTemplate(RegWind& window, const QString& templateText);

private:
    // Writes the file; its full path, or empty (traced) when nothing could be written.
    QString WriteRegistrationFile(RegWind& window) const;
    void StartClient(const QString& file) const;

    FieldTest test_;
    QString subFolder_;
    qint32 hours_ = 0;
};

}  // namespace launcher
