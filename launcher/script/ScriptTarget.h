#pragma once

#include "launcher/window/RegWindSettings.h"

#include <QChar>
#include <QString>

#include <memory>

namespace engine {
class FieldList;
class FourCC;
class QmRegPage;
class QmStrStream;
class QmWind;
}  // namespace engine

namespace launcher {

class ScriptReader;

// Thrown by AddPage when the first page hands the rest of the run over to a saved
// replacement script; the interpreter ends the current run at once.
struct RegWindLoadedUpdate {};

// The registration window as the target of the page script, which builds and fills it: the
// operations the interpreter and its keyword handlers use, and no more. RegWind implements
// it. The reader and the handlers know the window only through this class, so the window
// may use the reader without the two including each other.
class ScriptTarget {
public:
    virtual ~ScriptTarget() = default;

    // The window as a page element: the parent of its pages and controls, and the target
    // "!REG" of ATTACH.
    virtual engine::QmWind& Element() = 0;
    // WIND: the reader that built the window, and the command line's flags.
    virtual void SetScriptReader(ScriptReader* reader) = 0;
    virtual void SetFlagsText(const QString& flags) = 0;
    // A page keyword's page (kind 2: the method page). False, the page left to the caller,
    // when the window holds all the pages it can. The first page may throw
    // RegWindLoadedUpdate.
    virtual bool AddPage(engine::QmRegPage* page, int kind) = 0;
    // The end of a run: the header defaults, then, unless the run was an INCLUDE, the first
    // page.
    virtual void InitHeaderRecord() = 0;
    virtual void ShowFirstPage() = 0;

    // The field list of that kind (RegRecordLists::ListKind), or null.
    virtual engine::FieldList* GetList(int kind) = 0;
    // SETFIELD 'U', SETHEADER 'H', SETINITIALVALUE 'P', SETBLANKVALUE 'B'.
    virtual void SetFieldByKind(QChar kind, const engine::FourCC& code, const QString& text) = 0;
    // GETCOMMANDLINEHEADERS.
    virtual void MergeCommandLineFields(const engine::FieldList& fields) = 0;
    // Opens the engine's registry key from the header record.
    virtual void ReadProductHeaders() = 0;
    // Field and application tags replaced by their values.
    virtual QString SubstituteTags(const QString& text, bool urlEncode) = 0;
    // DOLISTSUBS: field tags substituted in every item of the reader's list of that name.
    virtual void ExpandListText(const QString& listName) = 0;

    // WEBREGSITE: the window's address, and the method page's next site when there is one.
    virtual void AddWebSite(const QString& site) = 0;
    // The settings the script's window keywords set.
    virtual RegWindSettings& GetSettings() = 0;
    // PREFFILE; false when the name was refused.
    virtual bool ReadPrefsFile(const QString& name) = 0;
    // SERNUMCREATE: the number the header's "snCR", "snPR", "snSF" and "snFL" describe, made
    // for `code`; `location` is the command line's SSI_SN_LOCATION.
    virtual void DefineSerialNumber(const engine::FourCC& code, const QString& location) = 0;
    // AUTOLANGUAGE, queued.
    virtual void PostAutoLanguage() = 0;
};

// The window a WIND line makes when the reader was given no factory: a plain RegWind. It
// is defined with RegWind, so the reader needs no more of the window than this header.
std::unique_ptr<ScriptTarget> CreateRegWind(engine::QmStrStream& script);

}  // namespace launcher
