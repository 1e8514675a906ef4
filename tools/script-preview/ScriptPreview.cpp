// script-preview: runs a page-script file in the registration window as the launcher does
// after its first-run test, with the window shown, and drives it from the command line:
//
//   script-preview FILE [--page N] [--set CODE=VALUE]... [--click CODE]... [--focus CODE]
//                  [--key KEY]... [--tree] [--fields] [--screenshot PNG] [--command N]
//                  [--press ID] [--modem-lines DIR] [--print-to PDF]
//
// --set types into edits (a line break as the Return key), chooses a combo's item or a
// popup's menu item by its text, and takes "month/day/year" for a date field; --click
// presses any button as the mouse does. --focus gives an element the focus and --key sends
// one key (Qt's name for it: Return, Escape, Tab, Shift+Tab, Down, Space, a letter) to the
// widget that has it, the open dialog's or menu's included. --command sends a command as a button of
// the page would (9001 opens the register-later dialog as the window's command 811 does,
// 9002 the status window), --press clicks the button with that id in whichever dialog is
// open, and --screenshot saves that dialog while it is open. --modem-lines lists the modem
// page's modems from that sysfs tty folder (and OVEX_MODEMS) instead of the machine's.
// --print-to answers a printed run's print dialog with OK and prints the form into that PDF
// file; without it the dialog is answered with Cancel. The e-mail run mails through the
// sendmail program that OVEX_SENDMAIL names (else /usr/sbin/sendmail); its save dialog is
// answered with Cancel. The internet run goes to the registration server at the host:port
// that OVEX_PREVIEW_REGISTRATION_SERVER names (HTTPS, verified against OVEX_CA_FILE when
// set) instead of the built-in one.
//
// Options run in the order given, from the event loop, so an option that opens a modal
// dialog is followed by the next ones inside it; a dialog still open after the last is
// closed as Escape closes it. --fields prints the record at the end. Message boxes are
// printed (caption and text) and answered with their default button, and addresses the
// window would open are printed, so a run never waits for a person or a browser. A quit
// the window asks for is printed and the options go on. The exit code is the launcher's
// (31009 until a SetExitCode attachment sets one, which the shell sees as 33), 1 when an
// option failed, 2 for a bad command line.
#include "launcher/app/TextResource.h"
#include "launcher/attachments/LauncherAttachments.h"
#include "launcher/registration/RegistrationMethods.h"
#include "launcher/script/ScriptReader.h"
#include "launcher/window/OvexVaskStubRegWind.h"
#include "launcher/window/RegWind.h"
#include "PreviewWind.h"

#include "regengine/core/ModalWait.h"
#include "regengine/core/QmStrStream.h"
#include "regengine/ui/controls/QmCombo.h"
#include "regengine/ui/controls/QmDateField.h"
#include "regengine/ui/controls/QmPopup.h"
#include "regengine/ui/display/DialogItem.h"
#include "regengine/ui/element/QmWind.h"
#include "regengine/ui/pages/ModemPage.h"

#include "regengine/print/PrintMeView.h"
#include "regengine/transport/InetLoader.h"

#include "platform/inet/Inet.h"
#include "platform/mail/Mail.h"
#include "platform/shell/Shell.h"
#include "platform/telephony/HayesTelephony.h"
#include "platform/ui/Ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTest>
#include <QTextStream>
#include <QUrl>

#include <cxxabi.h>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <typeinfo>
#include <vector>

using namespace engine;
using namespace launcher;

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

// Boxes and beeps go to the output; every box takes its default button.
class PrintingSink final : public platform::MessageSink {
public:
    int messageBox(const QString& text, const QString& caption, unsigned style) override
    {
        out() << "message box: " << caption << ": " << text << Qt::endl;
        return platform::defaultButton(style);
    }
    void beep(unsigned) override { out() << "beep" << Qt::endl; }
};

class PrintingOpener final : public platform::UrlOpener {
public:
    bool open(const QUrl& url, QString*) override
    {
        out() << "open: " << url.toString() << Qt::endl;
        return true;
    }
};

struct Option {
    enum Kind { Page, Set, Click, Focus, Key, Tree, Screenshot, Command, Press } kind;
    QString argument;
};

struct Arguments {
    QString file;
    QList<Option> options;
    bool fields = false;
    QString modemLines;
    QString printTo;
};

void usage()
{
    err() << "usage: script-preview FILE [--page N] [--set CODE=VALUE]... [--click CODE]... [--focus CODE] "
             "[--key KEY]... [--tree] [--fields] [--screenshot PNG] [--command N] [--press ID] [--modem-lines DIR] "
             "[--print-to PDF]"
          << Qt::endl;
}

std::optional<Arguments> parse(const QStringList& args)
{
    Arguments parsed;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](Option::Kind kind) {
            if (i + 1 >= args.size())
                return false;
            parsed.options.append(Option{kind, args[++i]});
            return true;
        };
        bool ok = true;
        if (a == u"--page")
            ok = value(Option::Page);
        else if (a == u"--set")
            ok = value(Option::Set);
        else if (a == u"--click")
            ok = value(Option::Click);
        else if (a == u"--focus")
            ok = value(Option::Focus);
        else if (a == u"--key")
            ok = value(Option::Key);
        else if (a == u"--screenshot")
            ok = value(Option::Screenshot);
        else if (a == u"--command")
            ok = value(Option::Command);
        else if (a == u"--press")
            ok = value(Option::Press);
        else if (a == u"--modem-lines" && i + 1 < args.size())
            parsed.modemLines = args[++i];
        else if (a == u"--print-to" && i + 1 < args.size())
            parsed.printTo = args[++i];
        else if (a == u"--tree")
            parsed.options.append(Option{Option::Tree, QString()});
        else if (a == u"--fields")
            parsed.fields = true;
        else if (a.startsWith(u"--") || !parsed.file.isEmpty())
            ok = false;
        else
            parsed.file = a;
        if (!ok)
            return std::nullopt;
    }
    if (parsed.file.isEmpty())
        return std::nullopt;
    return parsed;
}

QString className(const QmWind& element)
{
    const char* mangled = typeid(element).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    QString name = QString::fromLatin1(status == 0 && demangled != nullptr ? demangled : mangled);
    std::free(demangled);
    return name.mid(name.lastIndexOf(u':') + 1);
}

QString quoted(QString text)
{
    text.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'\n', QStringLiteral("\\n"))
        .replace(u'\r', QStringLiteral("\\r"));
    return u'"' + text.replace(u'"', QStringLiteral("\\\"")) + u'"';
}

void printTree(const QmWind& element, int depth)
{
    const QmRect r = element.GetRect();
    out() << QString(depth * 2, u' ') << className(element) << ' ' << FieldCodeToString(element.GetCode()) << ' '
          << r.left << ' ' << r.top << ' ' << (r.right - r.left) << ' ' << (r.bottom - r.top) << ' '
          << QStringLiteral("0x%1").arg(element.GetFlags(), 8, 16, QChar(u'0')) << ' ' << quoted(element.GetValue())
          << Qt::endl;
    for (const QmWind* child : element.GetChildren()) {
        if (child != nullptr)
            printTree(*child, depth + 1);
    }
}

QmWind* findElement(RegWind& window, const QString& code)
{
    const FourCC wanted(QStringView(code).left(4));
    if (QmRegPage* page = window.GetCurrentPage()) {
        if (QmWind* found = page->FindByCode(wanted))
            return found;
    }
    return window.FindControl(wanted);
}

// One character as its key: ASCII through its key, a line break as Return (a CR LF once),
// a tab as Tab; other characters come as an input method's text does, with no key of their
// own (test key clicks know ASCII keys only).
void typeChar(QWidget* widget, QChar c, QChar next)
{
    if (c == u'\r' && next == u'\n')
        return;
    if (c == u'\n' || c == u'\r') {
        QTest::keyClick(widget, Qt::Key_Return);
        return;
    }
    if (c == u'\t') {
        QTest::keyClick(widget, Qt::Key_Tab);
        return;
    }
    if (c.unicode() >= 0x20 && c.unicode() < 0x7F) {
        QTest::keyClick(widget, char(c.unicode()));
        return;
    }
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

// Typed as a user types: the old text selected and erased, then key by key.
void typeKeys(QWidget* widget, QmWind& element, const QString& value)
{
    widget->setFocus(Qt::TabFocusReason);
    element.SetSel(0, -1);
    QTest::keyClick(widget, Qt::Key_Backspace);
    for (qsizetype i = 0; i < value.size(); ++i)
        typeChar(widget, value[i], i + 1 < value.size() ? value[i + 1] : QChar());
}

// The menu item of a popup shown with that text, or for a number given where the items
// are month names, the item after the first; 0 when there is none.
int popupItem(const QmPopup& popup, const QString& text, bool byNumber)
{
    if (const int id = popup.FindMenuText(text))
        return id;
    bool number = false;
    const int n = text.toInt(&number);
    return byNumber && number && popup.MenuText(n + 1).size() > 0 ? n + 1 : 0;
}

bool chooseInPopup(QmPopup& popup, const QString& text, bool byNumber = false)
{
    const int id = popupItem(popup, text, byNumber);
    if (id == 0) {
        err() << "script-preview: no item " << text << " in " << FieldCodeToString(popup.GetCode()) << Qt::endl;
        return false;
    }
    popup.Choose(id);
    return true;
}

// As a user enters it: typed into edits and an editable combo's own text, chosen from the
// list of a combo or the menu of a popup, and for a date field "month/day/year" chosen in
// its three menus (the month by name or number).
bool setAsUser(QmWind& element, const QString& value)
{
    QWidget* widget = element.GetWindow();
    if (auto* combo = dynamic_cast<QmCombo*>(&element)) {
        const int index = combo->FindExact(value);
        if (index >= 0) {
            combo->ChooseIndex(index);
            return true;
        }
        if (combo->lineEdit() == nullptr) {
            err() << "script-preview: no item " << value << " in " << FieldCodeToString(element.GetCode()) << Qt::endl;
            return false;
        }
        typeKeys(combo->lineEdit(), element, value);
        return true;
    }
    if (auto* popup = dynamic_cast<QmPopup*>(&element))
        return chooseInPopup(*popup, value);
    if (auto* date = dynamic_cast<QmDateField*>(&element)) {
        const QStringList parts = value.split(u'/');
        if (parts.size() != 3) {
            err() << "script-preview: a date is month/day/year, not " << value << Qt::endl;
            return false;
        }
        // Left to right, as a user fills them: a year chosen last cuts a day its February lacks.
        return chooseInPopup(*date->Month(), parts[0], true) && chooseInPopup(*date->Day(), parts[1]) &&
               chooseInPopup(*date->Year(), parts[2]);
    }
    if (qobject_cast<QLineEdit*>(widget) == nullptr && qobject_cast<QPlainTextEdit*>(widget) == nullptr) {
        element.SetTextNotify(value);
        return true;
    }
    typeKeys(widget, element, value);
    return true;
}

// The dialog a user would see in front: a modal one the window runs (the register-later
// dialog of its command 811, say), else the status window the preview opened.
QDialog* openDialog(RegWind& window)
{
    if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        return modal;
    auto* preview = dynamic_cast<preview::PreviewWind*>(&window);
    return preview != nullptr ? preview->OpenDialog() : nullptr;
}

// Where a key goes: an open menu, which takes the keyboard while it is up, else the
// focused widget of the dialog in front, else of the window.
QWidget* keyTarget(RegWind& window)
{
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    QWidget* front = openDialog(window);
    QWidget* top = front != nullptr ? front : &window;
    if (QWidget* focused = QApplication::focusWidget(); focused != nullptr && focused->window() == top)
        return focused;
    return top->focusWidget() != nullptr ? top->focusWidget() : top;
}

// A key by Qt's name for it, with its modifiers ("Shift+Tab"); a single character is
// typed as that character.
bool sendKey(RegWind& window, const QString& name)
{
    QWidget* target = keyTarget(window);
    if (name.size() == 1) {
        typeChar(target, name[0], QChar());
        return true;
    }
    const QKeySequence sequence = QKeySequence::fromString(name, QKeySequence::PortableText);
    if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown) {
        err() << "script-preview: no key " << name << Qt::endl;
        return false;
    }
    QTest::keyClick(target, sequence[0].key(), sequence[0].keyboardModifiers());
    return true;
}

// The element's window takes the focus, or for a container (a date field, say) the first
// of its parts that takes it from the keyboard.
bool focusElement(RegWind& window, const QString& code)
{
    QmWind* element = findElement(window, code);
    QWidget* target = element != nullptr ? element->GetWindow() : nullptr;
    if (target == nullptr) {
        err() << "script-preview: no element with a window " << code << Qt::endl;
        return false;
    }
    if ((target->focusPolicy() & Qt::TabFocus) == 0) {
        for (QWidget* w = target->nextInFocusChain(); w != nullptr && w != target; w = w->nextInFocusChain()) {
            if (target->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled()) {
                target = w;
                break;
            }
        }
    }
    target->setFocus(Qt::OtherFocusReason);
    return true;
}

bool runOption(RegWind& window, const Option& option)
{
    switch (option.kind) {
    case Option::Page: {
        bool ok = false;
        const int page = option.argument.toInt(&ok);
        if (!ok)
            return false;
        window.GoToPage(page);
        return true;
    }
    case Option::Set: {
        const qsizetype equals = option.argument.indexOf(u'=');
        if (equals < 0)
            return false;
        QmWind* element = findElement(window, option.argument.left(equals));
        if (element == nullptr) {
            err() << "script-preview: no element " << option.argument.left(equals) << Qt::endl;
            return false;
        }
        return setAsUser(*element, option.argument.mid(equals + 1));
    }
    case Option::Click: {
        QmWind* element = findElement(window, option.argument);
        QWidget* widget = element != nullptr ? element->GetWindow() : nullptr;
        if (widget == nullptr) {
            err() << "script-preview: no element with a window " << option.argument << Qt::endl;
            return false;
        }
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
        return true;
    }
    case Option::Focus: return focusElement(window, option.argument);
    case Option::Key: return sendKey(window, option.argument);
    case Option::Tree:
        if (QmRegPage* page = window.GetCurrentPage())
            printTree(*page, 0);
        return true;
    case Option::Command: {
        bool ok = false;
        const int command = option.argument.toInt(&ok);
        if (ok)
            window.OnNotify(nullptr, command, 0);
        return ok;
    }
    case Option::Press: {
        QDialog* dialog = openDialog(window);
        auto* button =
            dialog != nullptr ? qobject_cast<QAbstractButton*>(DialogItem(dialog, option.argument.toInt())) : nullptr;
        if (button == nullptr) {
            err() << "script-preview: no open dialog with a button " << option.argument << Qt::endl;
            return false;
        }
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    }
    case Option::Screenshot:
        if (QDialog* dialog = openDialog(window)) {
            if (!dialog->grab().save(option.argument, "PNG")) {
                err() << "script-preview: cannot write " << option.argument << Qt::endl;
                return false;
            }
            return true;
        }
        if (!window.grab().save(option.argument, "PNG")) {
            err() << "script-preview: cannot write " << option.argument << Qt::endl;
            return false;
        }
        return true;
    }
    return false;
}

// Runs the options one after another from the event loop. An option that opens a modal
// dialog returns only once the dialog has ended, so the options after it go on from the
// dialog's own loop; and the option after the one that ended that dialog waits until the
// option that opened it has returned, as the window's own code goes on first.
class OptionRunner final : public QObject {
public:
    OptionRunner(RegWind& window, const QList<Option>& options) : window_(window), options_(options)
    {
        qApp->installEventFilter(this);
    }
    ~OptionRunner() override { qApp->removeEventFilter(this); }

    void Start() { Post(); }
    bool Done() const { return done_; }
    bool Ok() const { return ok_; }
    // Called once, when every option has run and returned.
    std::function<void()> finished;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* w = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && w != nullptr && w->isWindow() && w->isModal() && !resumed_.empty() &&
            !resumed_.back()) {
            resumed_.back() = true;
            Post();
        }
        return false;
    }

private:
    void Post()
    {
        QMetaObject::invokeMethod(
            this, [this] { Step(); }, Qt::QueuedConnection);
    }

    void Step()
    {
        if (!resumed_.empty() && QApplication::activeModalWidget() == nullptr) {
            // The dialog an option is waiting on has ended; that option returns first.
            waiting_ = true;
            return;
        }
        if (next_ >= options_.size()) {
            // Nobody is left to answer a dialog still open: it goes as Escape sends it, and
            // the option that opened it finishes the run once it has returned.
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                waiting_ = true;
                dialog->reject();
            } else {
                Finish();
            }
            return;
        }
        const Option& option = options_[next_++];
        resumed_.push_back(false);
        ok_ = runOption(window_, option) && ok_;
        // The launcher would end here; the preview says so and goes on.
        if (platform::quitPending() && !quitNoted_) {
            quitNoted_ = true;
            out() << "quit: exit code " << LauncherExitCode() << Qt::endl;
        }
        const bool resumed = resumed_.back();
        resumed_.pop_back();
        if (resumed && !waiting_)
            return;
        waiting_ = false;
        Post();
    }

    void Finish()
    {
        if (done_ || !resumed_.empty())
            return;
        done_ = true;
        if (finished)
            finished();
    }

    RegWind& window_;
    const QList<Option>& options_;
    qsizetype next_ = 0;
    // One entry per option still running, innermost last: whether the options after it
    // went on inside a dialog it opened.
    std::vector<bool> resumed_;
    bool waiting_ = false;
    bool quitNoted_ = false;
    bool ok_ = true;
    bool done_ = false;
};

// The built library next to its target in the build tree first, then the installed one.
QStringList libraryFiles(const QString& buildDir, const QString& name)
{
    return QStringList{buildDir + u'/' + name} + platform::libraryCandidates(name);
}

// The engine's registration server, or the local one OVEX_PREVIEW_REGISTRATION_SERVER names.
RegistrationEndpoints registrationEndpoints()
{
    RegistrationEndpoints endpoints;
    const QString local = qEnvironmentVariable("OVEX_PREVIEW_REGISTRATION_SERVER");
    if (local.isEmpty())
        return endpoints;
    const qsizetype colon = local.lastIndexOf(u':');
    bool number = false;
    const uint port = colon > 0 ? local.mid(colon + 1).toUInt(&number) : 0;
    if (!number || port == 0 || port > 65535 || local.contains(u'/') || local.contains(u'@')) {
        err() << "script-preview: OVEX_PREVIEW_REGISTRATION_SERVER is not host:port: " << local << Qt::endl;
        return endpoints;
    }
    endpoints.redirectUrl = QStringLiteral("https://%1/droplocs/default.rpc").arg(local);
    endpoints.fallbackUrl = QStringLiteral("https://%1/xmlrpc").arg(local);
    return endpoints;
}

}  // namespace

int main(int argc, char* argv[])
{
    RegisterLauncherAttachments();
    QApplication app(argc, argv);
    const std::optional<Arguments> args = parse(QCoreApplication::arguments().mid(1));
    if (!args) {
        usage();
        return 2;
    }
    QFile file(args->file);
    if (!file.open(QIODevice::ReadOnly)) {
        err() << "script-preview: cannot read " << args->file << ": " << file.errorString() << Qt::endl;
        return 2;
    }
    PrintingSink sink;
    platform::setMessageSink(&sink);
    PrintingOpener opener;
    platform::setUrlOpener(&opener);

    std::unique_ptr<platform::HayesTelephony> modemLines;
    if (!args->modemLines.isEmpty()) {
        platform::HayesTelephonyOptions lines;
        lines.sysfsRoot = args->modemLines;
        lines.configured = qEnvironmentVariable("OVEX_MODEMS").split(u':', Qt::SkipEmptyParts);
        modemLines = std::make_unique<platform::HayesTelephony>(lines);
        ModemPage::SetTelephony(modemLines.get());
    }

    int code = 0;
    {
        ScriptReader reader(std::make_unique<QmStrStream>(DecodeTextResource(file.readAll())), QString(),
                            LangCode("EN"));
        reader.SetWindowFactory(&preview::CreatePreviewWind);
        reader.SetProgramFolder(QFileInfo(args->file).absolutePath());
        reader.Run();
        RegWind* window = reader.GetWindow();
        if (window == nullptr) {
            err() << "script-preview: the script made no registration window" << Qt::endl;
            return 1;
        }
        CPrintMeView printView;
        printView.SetPrintSetup([&](QPrinter& printer, QWidget*) {
            if (args->printTo.isEmpty()) {
                out() << "print dialog: cancelled" << Qt::endl;
                return false;
            }
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(args->printTo);
            out() << "print dialog: OK, printing to " << args->printTo << Qt::endl;
            return true;
        });
        window->GetRegistration().SetPrintView(&printView);
        EmailRunHooks mail;
        mail.mailLibrary = libraryFiles(QStringLiteral(OVEX_MAIL_LIBRARY_DIR), QStringLiteral(OVEX_MAIL_LIBRARY_NAME));
        mail.chooseFile = [](const QString& proposed) {
            out() << "save dialog: " << proposed << ": cancelled" << Qt::endl;
            return QString();
        };
        window->GetRegistration().SetEmailHooks(mail);
        InetLoader inet(libraryFiles(QStringLiteral(OVEX_INET_LIBRARY_DIR), QStringLiteral(OVEX_INET_LIBRARY_NAME)));
        window->GetRegistration().SetInternet(&inet, registrationEndpoints());
        window->ShowStartPage(-1);
        window->show();
        window->activateWindow();
        // Keys need an active window; one that cannot be made active still shows.
        (void)QTest::qWaitForWindowActive(window, 2000);
        OptionRunner runner(*window, args->options);
        runner.finished = [] { QCoreApplication::exit(0); };
        runner.Start();
        // A quit ends every loop running, and no loop starts again until the application's
        // own does; the preview goes on with the options left.
        while (!runner.Done())
            QApplication::exec();
        const bool ok = runner.Ok();
        if (args->fields) {
            window->CollectPageFields(false);
            out() << window->FieldsText(u'\n', RegWind::kLeaveOutPrivate);
            out().flush();
        }
        code = ok ? LauncherExitCode() : 1;
    }
    ModemPage::SetTelephony(nullptr);
    platform::setUrlOpener(nullptr);
    platform::setMessageSink(nullptr);
    return code;
}
