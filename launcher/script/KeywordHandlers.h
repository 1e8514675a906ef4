#pragma once

#include <QtGlobal>

namespace engine {
class QmWind;
}

namespace launcher {

class ScriptReader;

// The element a control's line adds to; null, and traced, before the script's first WIND.
engine::QmWind* ParentForControl(ScriptReader& reader, int keyword);

// The keyword handlers, by kind, each kind in a file of its own that fills its keywords'
// slots in the reader's table. The reader installs them all when it is made; a keyword
// whose element comes later gets its handler in that element's file.

// LIST, STRINGTABLE, the field values (SETFIELD, SETHEADER, SETINITIALVALUE, SETBLANKVALUE,
// DERIVE) and the fields read from elsewhere: the command line, the registry, an external
// file, INI files and WMI; DOLISTSUBS.
void InstallDataSourceHandlers(ScriptReader& reader);
// The values the window keeps for its runs (web site, reminders, redirections,
// start pages, output order, mail, prefs file ...), SERNUMCREATE and AUTOLANGUAGE.
void InstallWindowSettingHandlers(ScriptReader& reader);
// PAGE and what a page holds beside its controls: RULE, SETERRORHANDLER, and the colour and
// background of the pages that follow.
void InstallPageHandlers(ScriptReader& reader);
// What all elements share: ENDGROUP, DEFAULTFLAG, ACCESSIBILITY. The controls' keywords
// join them with their classes.
void InstallElementHandlers(ScriptReader& reader);
// ATTACHMENT and ATTACH.
void InstallAttachmentHandlers(ScriptReader& reader);
// CONSTRAINT, MASK and MFGRCONSTRAINT, registered globally; SETCONSTRAINT and
// SETCONSTRAINTTRIES.
void InstallConstraintHandlers(ScriptReader& reader);
// FONT and USEFONT, which choose the font of the controls that follow; SETFONTCOLOR and
// SETFONTWEIGHT for the fonts declared afterwards.
void InstallFontHandlers(ScriptReader& reader);
// BASICGROUP, GROUP, CHECKGROUP and MULTIGROUP, each open until its ENDGROUP; BOX and
// HORIZRULE.
void InstallGroupHandlers(ScriptReader& reader);
// CAPTION, SUBCAPTION, HYPERLINK, EDIT, MASKEDIT, each in the current font, and DATAHOLDER.
void InstallTextControlHandlers(ScriptReader& reader);
// PUSHBUTTON (flag 0x8 makes the page's default button), CHECKBOX, RADIOBUTTON, CLEARBUTTON
// in the current font; GRAPHICBUTTON, HOVERBUTTON and TOGGLEBUTTON with their pictures.
void InstallButtonHandlers(ScriptReader& reader);
// COMBO and POPUP filled from the reader's lists, DATEFIELD, and the picture GRAPHIC;
// USELIST is ignored.
void InstallChoiceControlHandlers(ScriptReader& reader);
// What registration by modem reads from the script: COUNTRYDIALER, the access numbers of
// the X.25 network, and SETPHONES, the location texts of the modem page.
void InstallModemHandlers(ScriptReader& reader);

// SYSTEMINFO and SYSPARAMETER: facts about the machine into the record.
void InstallSystemHandlers(ScriptReader& reader);

// The lengths keyword lines are read to, where a handler reads or drops the rest of a line.
namespace ScriptLineLimit {
constexpr qsizetype kDroppedShort = 100;
constexpr qsizetype kDroppedLong = 200;
constexpr qsizetype kMailAddress = 200;
constexpr qsizetype kRegistryPath = 256;
constexpr qsizetype kReminderLink = 260;
constexpr qsizetype kRestOfLine = 1024;
constexpr qsizetype kRule = 101;
}  // namespace ScriptLineLimit

}  // namespace launcher
