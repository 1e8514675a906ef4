// The registration window's making and end, its look, and the steps of the runs that
// live in launcher/registration, launcher/reminders and launcher/update. Its other roles
// sit beside it: RegWindFields.cpp (field lists, tags and the record), RegWindPages.cpp
// (pages and navigation), RegWindCommands.cpp (the command table) and RegWindPrefs.cpp
// (prefs file and serial number).
#include "launcher/window/RegWind.h"

#include "launcher/registration/ModemRegistration.h"
#include "launcher/registration/RegistrationMethods.h"
#include "launcher/reminders/Reminders.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/update/ResourceUpdate.h"
#include "launcher/window/AppValues.h"

#include "regengine/core/QmRect.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/core/RegFile.h"
#include "regengine/core/SerialNumberMaker.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/core/WMIQuery.h"
#include "regengine/transport/Packet.h"
#include "regengine/ui/element/ScreenInfo.h"
#include "regengine/ui/graphics/DrawBitmapInRect.h"

#include "platform/resources/Resources.h"

#include <QColor>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

using namespace engine;

namespace launcher {

RegWind::RegWind(QmStrStream& script)
    : QWidget(nullptr, Qt::Window), registration_(std::make_unique<RegistrationMethods>(*this)),
      reminders_(std::make_unique<Reminders>(*this)), update_(std::make_unique<ResourceUpdate>(*this)),
      headerPacket_(std::make_unique<Packet>()), appValues_(std::make_unique<AppValues>()),
      serialMaker_(std::make_unique<SerialNumberMaker>()), modemOptions_(std::make_unique<ModemRunOptions>())
{
    SetWindow(this);
    SetCode(FourCC(script));
    QmRect rect;
    rect.ReadFromScript(script);
    quint32 flags = 0;
    if (!script.readHex(flags) && !script.eof())
        script.clear();
    const QString caption = ReadStringFromScript(script);
    ScreenInfo::Instance().Scale(rect);
    SetFlags(flags);
    // Qt sizes the client area either way; with the frame counted in (no kClientSize) the
    // window is as large as the script asks, which is the nearest Linux gets.
    resize(qMax(0, rect.right - rect.left), qMax(0, rect.bottom - rect.top));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    if (flags & kTopMost)
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    const QString background = ScriptReader::PageBackgroundName();
    if (!background.isEmpty()) {
        background_.emplace();
        if (const std::optional<QByteArray> bytes =
                platform::findResource(QStringLiteral("launcher"), QStringLiteral("BITMAP"), background))
            background_->loadFromData(*bytes);
        backgroundMode_ = ScriptReader::PageBackgroundMode();
    }
    SetText(caption);
    // Answers kept by an earlier run reach the initial values before the script sets its own.
    LoadPrefs();
}

std::unique_ptr<ScriptTarget> CreateRegWind(QmStrStream& script)
{
    return std::make_unique<RegWind>(script);
}

RegWind::~RegWind()
{
    SavePrefs();
    // Only a script that names the fields keeps them at the end: without its list the file
    // would lose the serial number a registration wrote there.
    if (reader_ != nullptr) {
        if (const QmStringList* fields = reader_->FindList(QStringLiteral("privatePrefFields")))
            SavePrivatePrefs(fields);
    }
    // Attachments told of the end, and the pages going before the lists, still see a whole
    // window.
    DestroyHooks();
    ClearPages();
    ShutdownWmi();
}

void RegWind::SetScriptReader(ScriptReader* reader)
{
    reader_ = reader;
    // The colour in force when the window is made is the window's own.
    if (reader != nullptr && !pageColor_)
        pageColor_ = reader->GetPageColor();
}

// ---- Field lists and the header record -----------------------------------------------

// ---- Steps of later runs --------------------------------------------------------------

bool RegWind::Register(const QString& method)
{
    return registration_->Register(method, lastStatus_);
}

bool RegWind::ScheduleReminder(bool fromFinalPage)
{
    return reminders_->ScheduleReminder(fromFinalPage);
}

void RegWind::SetReminder()
{
    reminders_->SetReminder();
}

void RegWind::DeleteReminder()
{
    reminders_->DeleteReminder();
}

void RegWind::WriteRegStatus(QChar letter)
{
    registration_->WriteRegStatus(letter);
}

void RegWind::SavePrefs()
{
    registration_->SavePrefs();
}

void RegWind::AskOnlineUpdate()
{
    update_->AskOnlineUpdate();
}

// After a registration only the serial number is kept privately; an engine set up to clean
// up after itself goes with its registry keys (and, with flag 8, the prefs file).
void RegWind::OnRegistered()
{
    registration_->OnRegistered();
    SavePrivatePrefs(nullptr);
    DeleteReminder();
    if (settings_.cleanupFlags & 0x1)
        reminders_->RemoveEverything();
}

bool RegWind::EnableConstraint(const QString& name, bool on)
{
    return RegistrationMethods::EnableConstraint(name, on);
}

void RegWind::OpenThankYouUrls()
{
    registration_->OpenThankYouUrls();
}

QString RegWind::EncodeFieldsHex()
{
    while (!settings_.uniqueIdCodes.isEmpty() && settings_.uniqueIdCodes.back().isSpace())
        settings_.uniqueIdCodes.chop(1);
    return RegistrationMethods::EncodeFieldsHex(settings_.uniqueIdCount, settings_.uniqueIdCodes, settings_.keyText,
                                                record_.List(PageFields));
}

void RegWind::OnFirstPage()
{
    registration_->SetProductHeaders();
    update_->LoadUpdatedPages();
}

// ---- Window events -------------------------------------------------------------------

// ---- Window look ----------------------------------------------------------------------

void RegWind::SetTopMost(bool on)
{
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    // Changing a window's flags hides it.
    if (visible)
        show();
}

// ---- Commands ------------------------------------------------------------------------

void RegWind::paintEvent(QPaintEvent*)
{
    if (!background_ && !pageColor_)
        return;
    QPainter painter(this);
    std::optional<QColor> color;
    if (pageColor_)
        color = QColor(int(*pageColor_ & 0xFF), int(*pageColor_ >> 8 & 0xFF), int(*pageColor_ >> 16 & 0xFF));
    DrawBitmapInRect(&painter, background_ ? &*background_ : nullptr, backgroundMode_, color ? &*color : nullptr,
                     rect());
}

void RegWind::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::ThemeChange) {
        ScreenInfo::Instance().Refresh();
        UpdateColors();
    }
    QWidget::changeEvent(event);
}

}  // namespace launcher
