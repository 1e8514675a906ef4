#pragma once

#include "launcher/app/CommandLineInfo.h"

#include "regengine/core/LangCode.h"

#include <QHash>
#include <QString>

namespace engine {
class FieldList;
}  // namespace engine

namespace launcher {

// The launcher's command line: "language=", "FLAGS=", "SSI_SN_LOCATION=", the command
// words REMIND, UNINSTALL and REGSTATUS (any case; they pick the start mode), and field
// values "CODE=value" that go into the fields target. One argument may hold several items
// joined by "/" ("FLAGS=abc/MODL=xyz"). Field values and the serial-number location are
// repeated in the pass-through text for the registration window; the rest goes to the
// framework's parser.
class QmCommandLineInfo : public CommandLineInfo {
public:
    // `fields` (not owned, may be null) receives the field arguments.
    explicit QmCommandLineInfo(engine::FieldList* fields);

    void ParseParam(const QString& param, bool flag, bool last) override;

    QString GetFlags() const { return flags_; }
    engine::LangCode GetLanguage() const { return language_; }
    QString GetSerialNumberLocation() const { return serialNumberLocation_; }
    // The index of the last command word seen, -1 when none was given.
    int GetMode() const { return mode_; }
    // The field arguments and the location as /CODE="value" items, backslashes and double
    // quotes escaped with a backslash.
    const QString& GetPassThrough() const { return passThrough_; }

    // Words compare lower-cased.
    void AddCommandWord(const QString& word, int index);
    int FindCommandWord(const QString& word) const;
    void RegisterCommandWords();

    // "?" in every position: no "language=" was given.
    static engine::LangCode NoLanguage();

private:
    // Where an argument splits: at a "/" followed by something this parser takes.
    QStringList SplitItems(const QString& argument) const;
    bool StartsItem(QStringView rest) const;

    engine::FieldList* fields_;
    QString flags_;
    QString serialNumberLocation_;
    QString passThrough_;
    engine::LangCode language_;
    int mode_ = -1;
    QHash<QString, int> commandWords_;
};

}  // namespace launcher
