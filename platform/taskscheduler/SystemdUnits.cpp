#include "platform/taskscheduler/SystemdUnits.h"

#include <QCryptographicHash>

namespace platform::systemd {
namespace {

// systemd accepts unit names of up to 255 characters, the suffix included.
constexpr int kMaxStem = 255 - int(sizeof ".service" - 1);

// Marks the units that remove an expired task; see expiryStem.
const QString kExpiryMark = QStringLiteral("--expire");

// A runaway end boundary would make a calendar of thousands of lines.
constexpr qint64 kMaxSpanDays = 20 * 366;

QString escapeBytes(const QString& text, bool atStart)
{
    QString out;
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
                           c == '_' || (c == '.' && !(atStart && i == 0));
        if (plain)
            out += QChar(c);
        else
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QChar('0'));
    }
    return out;
}

QString joinEscaped(const QStringList& parts)
{
    QStringList escaped;
    for (const QString& part : parts)
        escaped << escapeBytes(part, escaped.isEmpty());
    return escaped.join(u'-');
}

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7f;
}

// One word of an Exec line. Inside double quotes systemd undoes C escapes; specifiers are
// resolved after that, so '%' is doubled whatever the quoting.
QString quoteWord(const QString& word)
{
    QString out = QStringLiteral("\"");
    for (QChar c : word) {
        if (c == u'\\' || c == u'"')
            out += u'\\', out += c;
        else if (c == u'%')
            out += QStringLiteral("%%");
        else if (isControl(c))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar('0'));
        else
            out += c;
    }
    return out + u'"';
}

// A value such as Description=: one line, specifiers resolved, a trailing backslash
// would join the next line.
QString plainValue(const QString& text)
{
    QString out;
    for (QChar c : text)
        out += isControl(c) ? QStringLiteral(" ") : c == u'%' ? QStringLiteral("%%") : QString(c);
    out = out.trimmed();
    while (out.endsWith(u'\\'))
        out.chop(1);
    return out;
}

QString commentValue(const QString& text)
{
    QString out;
    for (QChar c : text)
        out += isControl(c) ? QChar(u' ') : c;
    return out;
}

QString header(const QString& taskPath, const TaskDefinition& task)
{
    QString text = QStringLiteral("# Task %1\n").arg(commentValue(taskPath));
    if (!task.author.isEmpty())
        text += QStringLiteral("# Author: %1\n").arg(commentValue(task.author));
    text += QStringLiteral("# Written whole by the program that owns the task; edits are lost when it is replaced.\n");
    return text;
}

QString expiryHeader(const QString& taskPath, const TaskDefinition& task)
{
    return header(taskPath, task) + QStringLiteral("[Unit]\nDescription=%1\n\n")
                                        .arg(plainValue(QStringLiteral("Removes the expired task ") + taskPath));
}

bool isSafeExecutableName(const QString& path)
{
    for (QChar c : path) {
        if (isControl(c) || c == u'\\' || c == u'"' || c == u'\'')
            return false;
    }
    return true;
}

const QString kShell = QStringLiteral("/bin/sh");

bool runsOn(const TaskTrigger& t, const QDate& first, const QDate& d)
{
    switch (t.type) {
    case TaskTrigger::Type::Daily: return first.daysTo(d) % t.daysInterval == 0;
    case TaskTrigger::Type::Weekly: {
        if ((t.daysOfWeek & (1u << (d.dayOfWeek() % 7))) == 0)
            return false;
        // Weeks run Sunday to Saturday and are counted from the start's week.
        const QDate firstSunday = first.addDays(-(first.dayOfWeek() % 7));
        return (firstSunday.daysTo(d) / 7) % t.weeksInterval == 0;
    }
    case TaskTrigger::Type::Monthly:
        if ((t.monthsOfYear & (1u << (d.month() - 1))) == 0)
            return false;
        return (t.daysOfMonth & (1u << (d.day() - 1))) != 0 || (t.runOnLastDayOfMonth && d.day() == d.daysInMonth());
    }
    return false;
}

bool isWellFormed(const TaskTrigger& t)
{
    if (!t.start.isValid() || !t.end.isValid() || t.randomDelay.count() < 0)
        return false;
    switch (t.type) {
    case TaskTrigger::Type::Daily: return t.daysInterval >= 1;
    case TaskTrigger::Type::Weekly: return t.weeksInterval >= 1 && (t.daysOfWeek & 0x7F) != 0;
    case TaskTrigger::Type::Monthly:
        return (t.monthsOfYear & 0xFFF) != 0 && ((t.daysOfMonth & 0x7FFFFFFF) != 0 || t.runOnLastDayOfMonth);
    }
    return false;
}

// "10..31", "01,08,15": the days of one month, runs of three or more as ranges.
QString dayList(const QList<int>& days)
{
    QStringList items;
    for (qsizetype i = 0; i < days.size();) {
        qsizetype j = i;
        while (j + 1 < days.size() && days[j + 1] == days[j] + 1)
            ++j;
        const auto two = [](int day) { return QStringLiteral("%1").arg(day, 2, 10, QChar('0')); };
        if (j - i >= 2) {
            items << two(days[i]) + QStringLiteral("..") + two(days[j]);
        } else {
            for (qsizetype k = i; k <= j; ++k)
                items << two(days[k]);
        }
        i = j + 1;
    }
    return items.join(u',');
}

// `stem` cut to at most `max` characters and made unique with a hash of the whole.
QString fitStem(const QString& stem, int max)
{
    if (stem.size() <= max)
        return stem;
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(stem.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
    int cut = max - 1 - int(hash.size());
    // Never split a \xNN escape; only escapes hold backslashes.
    for (int back = 1; back <= 3; ++back) {
        if (stem[cut - back] == u'\\') {
            cut -= back;
            break;
        }
    }
    return stem.left(cut) + u'-' + hash;
}

}  // namespace

QString escapeName(const QString& text)
{
    return escapeBytes(text, true);
}

QStringList folderParts(const QString& folder)
{
    QString path = folder;
    path.replace(u'/', u'\\');
    return path.split(u'\\', Qt::SkipEmptyParts);
}

QString folderPrefix(const QString& folder)
{
    const QStringList parts = folderParts(folder);
    return parts.isEmpty() ? QString() : joinEscaped(parts) + u'-';
}

QString unitStem(const QString& folder, const QString& name)
{
    return fitStem(joinEscaped(folderParts(folder) << name), kMaxStem);
}

QString expiryStem(const QString& folder, const QString& name)
{
    return fitStem(joinEscaped(folderParts(folder) << name), kMaxStem - int(kExpiryMark.size())) + kExpiryMark;
}

// A task's stem never ends so: its parts are never empty, and a cut one ends in a hash.
bool isExpiryStem(const QString& stem)
{
    return stem.endsWith(kExpiryMark);
}

QString execLine(const ExecCommand& command)
{
    QStringList words{u':' + quoteWord(command.program)};
    for (const QString& argument : command.arguments)
        words << quoteWord(argument);
    return words.join(u' ');
}

ExecCommand startCommand(const QString& program, const QStringList& arguments)
{
    if (isSafeExecutableName(program))
        return {program, arguments};
    QStringList shellArguments{QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$@\""), program};
    return {kShell, shellArguments + arguments};
}

// The calendar has no run after the end, but Persistent= catches up a run missed while
// the machine was off even when that is only noticed after the end.
ExecCommand endCondition(const QDateTime& end)
{
    return {kShell,
            {QStringLiteral("-c"), QStringLiteral("test \"$(date +%s)\" -lt \"$1\""), QStringLiteral("sh"),
             QString::number(end.toSecsSinceEpoch())}};
}

// A user manager knows the display only once the desktop session has imported it into
// the manager's environment (GNOME, Plasma, and Debian's Xsession with dbus-user-session
// do so at login). Without one the program could show nothing, so the run is skipped,
// not failed, and the next one tries again.
ExecCommand sessionCondition()
{
    return {kShell, {QStringLiteral("-c"), QStringLiteral("test -n \"$DISPLAY\" || test -n \"$WAYLAND_DISPLAY\"")}};
}

// The loopback device carries an "unreachable" IPv6 default route on most machines, so
// only a default route through another device counts as a network.
ExecCommand networkCondition(const QString& routes, const QString& routes6)
{
    const QString script = QStringLiteral(
        "while read -r dev dest rest; do"
        " [ \"$dev\" != lo ] && [ \"$dest\" = 00000000 ] && exit 0; done < \"$1\"; "
        "[ -r \"$2\" ] || exit 1; "
        "while read -r dest len src slen hop metric ref use flags dev; do"
        " [ \"$dev\" != lo ] && [ \"$dest\" = 00000000000000000000000000000000 ] && [ \"$len\" = 00 ] && exit 0;"
        " done < \"$2\"; "
        "exit 1");
    return {kShell, {QStringLiteral("-c"), script, QStringLiteral("sh"), routes, routes6}};
}

// Failed disables are passed over: a timer the manager no longer knows must not keep
// its files. A failed removal or reload fails the run, so the journal shows it.
ExecCommand removalCommand(const QString& systemctl, const QString& unitFolder, const QStringList& units)
{
    const QString script = QStringLiteral(
        "ctl=$1 dir=$2; shift 2; "
        "for unit; do case $unit in *.timer) \"$ctl\" --user disable --now \"$unit\";; esac; done; "
        "status=0; "
        "for unit; do rm -f -- \"$dir/$unit\" \"$dir/timers.target.wants/$unit\" || status=1; done; "
        "\"$ctl\" --user daemon-reload || status=1; "
        "exit $status");
    return {kShell, QStringList{QStringLiteral("-c"), script, QStringLiteral("sh"), systemctl, unitFolder} + units};
}

std::optional<QStringList> calendarExpressions(const TaskTrigger& trigger)
{
    if (!isWellFormed(trigger))
        return std::nullopt;
    // Boundaries count in whole seconds.
    const QTime time(trigger.start.time().hour(), trigger.start.time().minute(), trigger.start.time().second());
    const QDate first = trigger.start.date();
    if (first.daysTo(trigger.end.date()) > kMaxSpanDays)
        return std::nullopt;

    // Every run is listed by its date, so month ends, leap days, intervals and the end
    // boundary come out exact, and the timer has nothing left to fire after the last one.
    QStringList expressions;
    int year = 0, month = 0;
    QList<int> days;
    const auto flush = [&] {
        if (!days.isEmpty()) {
            expressions << QStringLiteral("%1-%2-%3 %4")
                               .arg(year, 4, 10, QChar('0'))
                               .arg(month, 2, 10, QChar('0'))
                               .arg(dayList(days), time.toString(QStringLiteral("HH:mm:ss")));
        }
        days.clear();
    };
    for (QDate d = first; d <= trigger.end.date(); d = d.addDays(1)) {
        const QDateTime at(d, time);
        if (at.isValid() && at >= trigger.end)
            break;
        if (!runsOn(trigger, first, d))
            continue;
        if (d.year() != year || d.month() != month) {
            flush();
            year = d.year();
            month = d.month();
        }
        days << d.day();
    }
    flush();
    return expressions;
}

QString serviceUnit(const QString& taskPath, const TaskDefinition& task)
{
    QString text = header(taskPath, task);
    text += QStringLiteral("[Unit]\nDescription=%1\n\n").arg(plainValue(task.description));
    // Type=exec: the unit stays active while the program runs (it may stay in the tray),
    // so a run that comes due meanwhile starts nothing new.
    text += QStringLiteral("[Service]\nType=exec\n");
    if (task.trigger)
        text += QStringLiteral("ExecCondition=%1\n").arg(execLine(endCondition(task.trigger->end)));
    text += QStringLiteral("ExecCondition=%1\n").arg(execLine(sessionCondition()));
    if (task.runOnlyIfNetworkAvailable)
        text += QStringLiteral("ExecCondition=%1\n").arg(execLine(networkCondition()));
    text += QStringLiteral("ExecStart=%1\n").arg(execLine(startCommand(task.programPath, task.arguments)));
    // Programs the task opens (a browser for a link) must outlive it.
    text += QStringLiteral("KillMode=process\n");
    return text;
}

QString timerUnit(const QString& taskPath, const TaskDefinition& task, const QStringList& calendars)
{
    QString text = header(taskPath, task);
    text += QStringLiteral("[Unit]\nDescription=%1\n\n[Timer]\n").arg(plainValue(task.description));
    if (task.trigger && !task.trigger->id.isEmpty())
        text += QStringLiteral("# Trigger %1\n").arg(commentValue(task.trigger->id));
    for (const QString& calendar : calendars)
        text += QStringLiteral("OnCalendar=%1\n").arg(calendar);
    if (task.trigger && task.trigger->randomDelay.count() > 0)
        text += QStringLiteral("RandomizedDelaySec=%1\n").arg(task.trigger->randomDelay.count());
    if (task.startWhenAvailable)
        text += QStringLiteral("Persistent=true\n");
    text += QStringLiteral("\n[Install]\nWantedBy=timers.target\n");
    return text;
}

// Whole days move the date and keep the time of day across a clock change, as the days
// of a trigger do.
QString expiryCalendar(const TaskDefinition& task)
{
    if (!task.trigger || !task.deleteExpiredAfter)
        return {};
    const qint64 after = task.deleteExpiredAfter->count();
    const QDateTime end = QDateTime::fromSecsSinceEpoch(task.trigger->end.toSecsSinceEpoch());
    const QDateTime at = end.addDays(after / 86400).addSecs(after % 86400);
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString expiryServiceUnit(const QString& taskPath, const TaskDefinition& task, const ExecCommand& removal)
{
    QString text = expiryHeader(taskPath, task);
    text += QStringLiteral("[Service]\nType=oneshot\nExecStart=%1\n").arg(execLine(removal));
    return text;
}

QString expiryTimerUnit(const QString& taskPath, const TaskDefinition& task, const QString& calendar)
{
    QString text = expiryHeader(taskPath, task);
    text += QStringLiteral("[Timer]\nOnCalendar=%1\n").arg(calendar);
    // A machine that was off at the moment cleans up at its next start.
    text += QStringLiteral("Persistent=true\n\n[Install]\nWantedBy=timers.target\n");
    return text;
}

}  // namespace platform::systemd
