#include "regengine/transport/MAPIMailer.h"

#include "regengine/core/EngineTrace.h"

#include "platform/mail/Mail.h"
#include "platform/shell/Shell.h"
#include "platform/text/Format.h"

#include <QLibrary>

namespace engine {

namespace {

constexpr int kMaxText = 255;

// The loaded library and its entry points, shared by every mailer of the process and never
// unloaded, as the mail system's binding always was.
struct MailBinding {
    std::unique_ptr<QLibrary> library;
    ovex_mail_is_available_fn isAvailable = nullptr;
    ovex_mail_send_fn send = nullptr;
    ovex_mail_last_error_text_fn lastErrorText = nullptr;
    bool loaded = false;
};

MailBinding& binding()
{
    static MailBinding instance;
    return instance;
}

void trace(const QString& pattern, const QString& value)
{
    EngineTrace(platform::formatText(pattern, value));
}

}  // namespace

MAPIMailer::MAPIMailer() : MAPIMailer(platform::libraryCandidates(QStringLiteral(OVEX_MAIL_LIBRARY_NAME))) {}

MAPIMailer::MAPIMailer(const QStringList& libraryCandidates)
    : candidates_(libraryCandidates), notice_([](const QString& text) { EngineTrace(text); }), modality_([](bool) {})
{}

MAPIMailer::~MAPIMailer() = default;

void MAPIMailer::SetAddresses(const QString& from, const QString& to, const QString& subject)
{
    from_ = from.left(kMaxText);
    to_ = to.left(kMaxText);
    subject_ = subject.left(kMaxText);
    trace(QStringLiteral("Setting email From: %s"), from_);
    trace(QStringLiteral("Setting email To: %s"), to_);
    trace(QStringLiteral("Setting email Subject: %s"), subject_);
}

void MAPIMailer::SetBody(const QByteArray& body)
{
    body_ = body;
    trace(QStringLiteral("Setting body text to \n>>>\n%s<<<"), QString::fromUtf8(body_));
}

bool MAPIMailer::LoadLibrary()
{
    MailBinding& b = binding();
    if (b.loaded)
        return true;
    for (const QString& candidate : candidates_) {
        auto library = std::make_unique<QLibrary>(candidate);
        if (!library->load())
            continue;
        auto version = reinterpret_cast<ovex_mail_api_version_fn>(library->resolve("ovex_mail_api_version"));
        auto isAvailable = reinterpret_cast<ovex_mail_is_available_fn>(library->resolve("ovex_mail_is_available"));
        auto send = reinterpret_cast<ovex_mail_send_fn>(library->resolve("ovex_mail_send"));
        auto lastError = reinterpret_cast<ovex_mail_last_error_text_fn>(library->resolve("ovex_mail_last_error_text"));
        if (version && isAvailable && send && lastError && version() == OVEX_MAIL_API_VERSION) {
            b.library = std::move(library);
            b.isAvailable = isAvailable;
            b.send = send;
            b.lastErrorText = lastError;
            b.loaded = true;
            return true;
        }
        trace(QStringLiteral("Mail library %s is not usable"), candidate);
        library->unload();
    }
    return false;
}

bool MAPIMailer::IsMailAvailable()
{
    if (availability_ == -3)
        availability_ = LoadLibrary() && binding().isAvailable() != 0 ? 1 : 0;
    return availability_ == 1;
}

bool MAPIMailer::Send()
{
    EngineTrace(QStringLiteral("Entered MAPIMailer.Send()"));
    const bool available = IsMailAvailable();
    if (from_.isEmpty() || to_.isEmpty() || subject_.isEmpty() || !available)
        return false;
    EngineTrace(QStringLiteral("Setting up for sending mail"));
    if (!LoadLibrary()) {
        EngineTrace(QStringLiteral("Unable to load MAPI libraries"));
        notice_(QStringLiteral("Unable to load mail system support."));
        return false;
    }
    MailBinding& b = binding();
    if (b.send == nullptr) {
        EngineTrace(QStringLiteral("Unable to get MAPISendMail() address"));
        notice_(QStringLiteral("Mail system DLL is invalid."));
        return false;
    }

    const QByteArray from = from_.toUtf8();
    const QByteArray to = to_.toUtf8();
    const QByteArray subject = subject_.toUtf8();
    OvexMailMessage message{from.constData(), to.constData(), subject.constData(), body_.constData(),
                            std::size_t(body_.size())};
    EngineTrace(
        platform::formatText(QStringLiteral("Message From: <%s> To: %s <%s> Subject: %s"), from_, to_, to_, subject_));

    modality_(true);
    EngineTrace(QStringLiteral("Calling MAPISendMail()"));
    lastResult_ = b.send(&message);
    if (lastResult_ != OVEX_MAIL_SUCCESS) {
        EngineTrace(platform::formatText(QStringLiteral("MAPISendMail() failed with code %d"), lastResult_));
        EngineTrace(QString::fromUtf8(b.lastErrorText()));
    }
    EngineTrace(QStringLiteral("Restoring window settings"));
    modality_(false);

    const bool sent = lastResult_ == OVEX_MAIL_SUCCESS;
    EngineTrace(sent ? QStringLiteral("Registration succeeded") : QStringLiteral("Registration failed"));
    if (!sent && lastResult_ != OVEX_MAIL_USER_ABORT && lastResult_ != OVEX_MAIL_E_LOGIN_FAILURE)
        notice_(QStringLiteral("Send Mail failed to send message."));
    EngineTrace(QStringLiteral("***  End of email registration  ***"));
    return sent;
}

}  // namespace engine
