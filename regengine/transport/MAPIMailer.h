#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QLibrary;

namespace engine {

// Sends the registration as a mail message through the mail library, which is loaded by
// name on the first send and kept for the process. Texts are at most 255 characters each.
class MAPIMailer {
public:
    // Shows a message to the user; the window layer gives a message box, the default traces.
    using Notice = std::function<void(const QString& text)>;
    // Called around the send: the window layer disables the application's windows while
    // the mail system works, and enables them again afterwards.
    using Modality = std::function<void(bool sending)>;

    MAPIMailer();
    // The library files tried in order (tests name a build's copy).
    explicit MAPIMailer(const QStringList& libraryCandidates);
    ~MAPIMailer();
    MAPIMailer(const MAPIMailer&) = delete;
    MAPIMailer& operator=(const MAPIMailer&) = delete;

    void SetAddresses(const QString& from, const QString& to, const QString& subject);
    // The body, UTF-8.
    void SetBody(const QByteArray& body);
    void SetNotice(Notice notice) { notice_ = std::move(notice); }
    void SetModality(Modality modality) { modality_ = std::move(modality); }

    // Whether a mail system is there: the library loads and has a sendmail program to run.
    // Asked once; the answer is kept.
    bool IsMailAvailable();
    bool CanSend() { return IsMailAvailable(); }
    // False without a message when an address or the subject is empty or mail is not
    // available; false with a message when the library is unusable or the send failed,
    // except for a user's cancel or a failed logon.
    bool Send();

    const QString& GetFrom() const { return from_; }
    const QString& GetTo() const { return to_; }
    const QString& GetSubject() const { return subject_; }
    // The result of the last send (OVEX_MAIL_*), -1 before one.
    int LastResult() const { return lastResult_; }

private:
    bool LoadLibrary();

    QString to_;
    QString from_;
    QString subject_;
    QByteArray body_;
    int availability_ = -3;
    int lastResult_ = -1;
    QStringList candidates_;
    Notice notice_;
    Modality modality_;
};

}  // namespace engine
