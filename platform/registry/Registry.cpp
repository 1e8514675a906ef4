#include "platform/registry/Registry.h"

#include "platform/text/Ascii.h"

#include <QFile>
#include <QLoggingCategory>
#include <QMutex>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcRegistry, "ovex.registry")

QString rootName(RootKey root)
{
    return root == RootKey::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE")
                                         : QStringLiteral("HKEY_CURRENT_USER");
}

// "\\A\\\\B\\" and "A\\B" name the same key; the stored form has no empty parts.
QString normalizePath(const QString& path)
{
    return path.split(u'\\', Qt::SkipEmptyParts).join(u'\\');
}

// The file is line-based and UTF-8, so a name with a line break, a NUL or half a
// surrogate pair would not read back as written.
bool storableName(const QString& name)
{
    if (!name.isValidUtf16())
        return false;
    for (QChar c : name)
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return false;
    return true;
}

// Why a normalised key path is past the registry's limits, or empty when it is not.
QString keyPathProblem(const QString& path)
{
    if (path.isEmpty())
        return {};
    qsizetype levels = 1;
    qsizetype nameStart = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != u'\\')
            continue;
        if (i - nameStart > Hive::kMaxKeyNameLength)
            return QStringLiteral("key name '%1...' is longer than %2 characters")
                .arg(path.mid(nameStart, 20))
                .arg(Hive::kMaxKeyNameLength);
        if (i < path.size() && ++levels > Hive::kMaxKeyDepth)
            return QStringLiteral("key is nested deeper than %1 levels").arg(Hive::kMaxKeyDepth);
        nameStart = i + 1;
    }
    return {};
}

void appendUtf16le(QByteArray& out, const QString& s)
{
    for (QChar c : s) {
        out.append(char(c.unicode() & 0xff));
        out.append(char(c.unicode() >> 8));
    }
}

void appendZeroChar(QByteArray& out) { out.append(2, '\0'); }

void appendLittleEndian(QByteArray& out, quint64 v, int size)
{
    for (int i = 0; i < size; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}

quint64 readLittleEndian(const QByteArray& bytes)
{
    quint64 v = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i)
        v |= quint64(quint8(bytes[i])) << (8 * i);
    return v;
}

QString fromUtf16le(const QByteArray& bytes)
{
    QString s;
    s.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        s.append(QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8))));
    return s;
}

// ---- Serialising ----

void appendQuoted(QByteArray& out, const QString& s)
{
    // Escape first, encode once: a character outside the BMP is two QChars.
    QString escaped;
    escaped.reserve(s.size() + 2);
    for (QChar c : s) {
        if (c == u'\\' || c == u'"')
            escaped.append(u'\\');
        escaped.append(c);
    }
    out.append('"').append(escaped.toUtf8()).append('"');
}

void appendHex(QByteArray& out, const QByteArray& bytes)
{
    static const char digits[] = "0123456789abcdef";
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            out.append(',');
        out.append(digits[quint8(bytes[i]) >> 4]);
        out.append(digits[quint8(bytes[i]) & 0xf]);
    }
}

void appendData(QByteArray& out, const RegValue& v)
{
    switch (v.type) {
    case RegType::String:
        // A text the quoted form cannot carry goes as REG_SZ bytes, which read back exactly.
        if (storableName(v.text)) {
            appendQuoted(out, v.text);
        } else {
            out.append("hex(1):");
            appendHex(out, v.rawBytes());
        }
        return;
    case RegType::ExpandString:
        out.append("hex(2):");
        break;
    case RegType::DWord:
        out.append("dword:");
        out.append(QByteArray::number(quint32(v.number), 16).rightJustified(8, '0'));
        return;
    case RegType::QWord:
        out.append("hex(b):");
        break;
    case RegType::MultiString:
        out.append("hex(7):");
        break;
    case RegType::Binary:
        out.append("hex:");
        break;
    }
    appendHex(out, v.rawBytes());
}

// ---- Parsing ----

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

bool allBlank(QStringView s)
{
    for (QChar c : s)
        if (!isBlank(c))
            return false;
    return true;
}

QString snippet(QStringView s)
{
    const QString t = s.trimmed().toString();
    return t.size() > 40 ? t.left(40) + QStringLiteral("...") : t;
}

// Reads a quoted name or text starting at s[pos] == '"'; leaves pos after the closing quote.
std::optional<QString> readQuoted(QStringView s, qsizetype& pos, QString* what)
{
    QString out;
    for (++pos; pos < s.size(); ++pos) {
        const QChar c = s[pos];
        if (c == u'"') {
            ++pos;
            return out;
        }
        if (c == u'\\') {
            if (pos + 1 >= s.size() || (s[pos + 1] != u'\\' && s[pos + 1] != u'"')) {
                *what = QStringLiteral("unknown escape in a quoted text (only \\\\ and \\\" are allowed)");
                return std::nullopt;
            }
            ++pos;
        }
        out.append(s[pos]);
    }
    *what = QStringLiteral("quoted text has no closing '\"'");
    return std::nullopt;
}

std::optional<QByteArray> readHexBytes(QStringView s, QString* what)
{
    QByteArray out;
    if (allBlank(s))
        return out;
    for (QStringView part : s.split(u',')) {
        const QStringView t = part.trimmed();
        if (t.size() != 2 || !isHexDigit(t[0]) || !isHexDigit(t[1])) {
            *what = QStringLiteral("bad hex byte '%1'").arg(snippet(t));
            return std::nullopt;
        }
        out.append(char(t.toUInt(nullptr, 16)));
    }
    return out;
}

// The inverse of rawBytes() for the hex(N) types the layer stores.
std::optional<RegValue> valueFromBytes(uint type, const QByteArray& bytes, QString* what)
{
    RegValue v;
    switch (type) {
    case 0x1:
    case 0x2:
    case 0x7: {
        if (bytes.size() % 2 != 0) {
            *what = QStringLiteral("odd number of bytes in UTF-16 text");
            return std::nullopt;
        }
        QString chars = fromUtf16le(bytes);
        if (type == 0x7) {
            // "a\0b\0\0": drop the list's terminator, then each string's own one.
            v.type = RegType::MultiString;
            if (chars.endsWith(QChar(0)))
                chars.chop(1);
            if (!chars.isEmpty()) {
                v.strings = chars.split(QChar(0));
                if (chars.endsWith(QChar(0)))
                    v.strings.removeLast();
            }
            return v;
        }
        if (chars.endsWith(QChar(0)))
            chars.chop(1);
        v.type = type == 0x1 ? RegType::String : RegType::ExpandString;
        v.text = chars;
        return v;
    }
    case 0x3:
        return RegValue::fromBinary(bytes);
    case 0x4:
    case 0xb: {
        const int size = type == 0x4 ? 4 : 8;
        if (bytes.size() != size) {
            *what = QStringLiteral("a %1 needs %2 bytes, found %3")
                        .arg(type == 0x4 ? QStringLiteral("dword") : QStringLiteral("qword"))
                        .arg(size)
                        .arg(bytes.size());
            return std::nullopt;
        }
        v.type = type == 0x4 ? RegType::DWord : RegType::QWord;
        v.number = readLittleEndian(bytes);
        return v;
    }
    default:
        *what = QStringLiteral("unsupported value type hex(%1)").arg(type, 0, 16);
        return std::nullopt;
    }
}

// Strict UTF-8: a replacement character written back would silently change the data.
std::optional<QString> decodeLine(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return s;
}

}  // namespace

// ---- RegValue ----

RegValue RegValue::fromString(const QString& s)
{
    RegValue v;
    v.type = RegType::String;
    v.text = s;
    return v;
}

RegValue RegValue::fromDWord(quint32 n)
{
    RegValue v;
    v.type = RegType::DWord;
    v.number = n;
    return v;
}

RegValue RegValue::fromQWord(quint64 n)
{
    RegValue v;
    v.type = RegType::QWord;
    v.number = n;
    return v;
}

RegValue RegValue::fromMultiString(const QStringList& list)
{
    RegValue v;
    v.type = RegType::MultiString;
    v.strings = list;
    return v;
}

RegValue RegValue::fromBinary(const QByteArray& data)
{
    RegValue v;
    v.type = RegType::Binary;
    v.bytes = data;
    return v;
}

QByteArray RegValue::rawBytes() const
{
    QByteArray out;
    switch (type) {
    case RegType::String:
    case RegType::ExpandString:
        appendUtf16le(out, text);
        appendZeroChar(out);
        break;
    case RegType::DWord:
        appendLittleEndian(out, number, 4);
        break;
    case RegType::QWord:
        appendLittleEndian(out, number, 8);
        break;
    case RegType::MultiString:
        for (const QString& s : strings) {
            appendUtf16le(out, s);
            appendZeroChar(out);
        }
        appendZeroChar(out);
        break;
    case RegType::Binary:
        out = bytes;
        break;
    }
    return out;
}

bool RegValue::operator==(const RegValue& other) const
{
    if (type != other.type)
        return false;
    switch (type) {
    case RegType::String:
    case RegType::ExpandString:
        return text == other.text;
    case RegType::DWord:
        return quint32(number) == quint32(other.number);
    case RegType::QWord:
        return number == other.number;
    case RegType::MultiString:
        return strings == other.strings;
    case RegType::Binary:
        return bytes == other.bytes;
    }
    return false;
}

// ---- Hive ----

Hive::Hive(RootKey root) : root_(root) {}

RootKey Hive::root() const { return root_; }

const Hive::Key* Hive::findKey(const QString& path) const
{
    const auto it = index_.constFind(asciiLower(path));
    return it == index_.constEnd() ? nullptr : &keys_[*it];
}

Hive::Key* Hive::findKey(const QString& path)
{
    const auto it = index_.constFind(asciiLower(path));
    return it == index_.constEnd() ? nullptr : &keys_[*it];
}

Hive::Key& Hive::ensureKey(const QString& path)
{
    if (Key* k = findKey(path))
        return *k;
    const qsizetype cut = path.lastIndexOf(u'\\');
    if (cut > 0)
        ensureKey(path.left(cut));
    keys_.append(Key{path, {}, {}});
    index_.insert(asciiLower(path), keys_.size() - 1);
    return keys_.last();
}

const RegValue* Hive::Key::find(const QString& name) const
{
    const auto it = valueIndex.constFind(asciiLower(name));
    return it == valueIndex.constEnd() ? nullptr : &values[*it].second;
}

void Hive::Key::reindexValues()
{
    valueIndex.clear();
    for (qsizetype i = 0; i < values.size(); ++i)
        valueIndex.insert(asciiLower(values[i].first), i);
}

void Hive::reindex()
{
    index_.clear();
    for (qsizetype i = 0; i < keys_.size(); ++i)
        index_.insert(asciiLower(keys_[i].path), i);
}

bool Hive::keyExists(const QString& path) const
{
    const QString p = normalizePath(path);
    return p.isEmpty() || findKey(p) != nullptr;
}

bool Hive::createKey(const QString& path)
{
    const QString p = normalizePath(path);
    if (!storableName(p) || !keyPathProblem(p).isEmpty())
        return false;
    if (!p.isEmpty())
        ensureKey(p);
    return true;
}

bool Hive::removeKey(const QString& path, bool recursive)
{
    const QString p = normalizePath(path);
    if (p.isEmpty() || findKey(p) == nullptr)
        return false;
    const QString self = asciiLower(p);
    const QString below = self + u'\\';
    QList<Key> kept;
    bool hasSubKeys = false;
    for (const Key& k : keys_) {
        const QString lower = asciiLower(k.path);
        if (lower.startsWith(below))
            hasSubKeys = true;
        else if (lower != self)
            kept.append(k);
    }
    if (hasSubKeys && !recursive)
        return false;
    keys_ = kept;
    reindex();
    return true;
}

QStringList Hive::subKeys(const QString& path) const
{
    const QString p = normalizePath(path);
    QStringList names;
    if (!keyExists(p))
        return names;
    const QString prefix = p.isEmpty() ? QString() : asciiLower(p) + u'\\';
    for (const Key& k : keys_) {
        if (k.path.isEmpty())
            continue;
        const QString lower = asciiLower(k.path);
        if (lower.startsWith(prefix) && !QStringView(lower).mid(prefix.size()).contains(u'\\'))
            names.append(k.path.mid(prefix.size()));
    }
    return names;
}

QStringList Hive::valueNames(const QString& path) const
{
    QStringList names;
    if (const Key* k = findKey(normalizePath(path)))
        for (const auto& [name, v] : k->values)
            names.append(name);
    return names;
}

std::optional<RegValue> Hive::value(const QString& path, const QString& name) const
{
    if (const Key* k = findKey(normalizePath(path)))
        if (const RegValue* v = k->find(name))
            return *v;
    return std::nullopt;
}

bool Hive::setValue(const QString& path, const QString& name, const RegValue& value)
{
    const QString p = normalizePath(path);
    if (!storableName(p) || !storableName(name) || !keyPathProblem(p).isEmpty())
        return false;
    Key& k = ensureKey(p);
    const QString lower = asciiLower(name);
    if (const auto it = k.valueIndex.constFind(lower); it != k.valueIndex.constEnd()) {
        k.values[*it].second = value;  // the name keeps the case it was created with
        return true;
    }
    k.values.append({name, value});
    k.valueIndex.insert(lower, k.values.size() - 1);
    return true;
}

bool Hive::removeValue(const QString& path, const QString& name)
{
    if (Key* k = findKey(normalizePath(path))) {
        for (qsizetype i = 0; i < k->values.size(); ++i) {
            if (asciiEqualsIgnoreCase(k->values[i].first, name)) {
                k->values.removeAt(i);
                k->reindexValues();
                return true;
            }
        }
    }
    return false;
}

QByteArray Hive::serialize() const
{
    const QByteArray rootText = rootName(root_).toUtf8();
    QByteArray out = "REGEDIT4\n\n";
    for (const Key& k : keys_) {
        // The root's section only carries values; its existence goes without saying.
        if (k.path.isEmpty() && k.values.isEmpty())
            continue;
        out.append('[').append(rootText);
        if (!k.path.isEmpty())
            out.append('\\').append(k.path.toUtf8());
        out.append("]\n");
        for (const auto& [name, v] : k.values) {
            if (name.isEmpty())
                out.append('@');
            else
                appendQuoted(out, name);
            out.append('=');
            appendData(out, v);
            out.append('\n');
        }
        out.append('\n');
    }
    return out;
}

std::optional<Hive> Hive::parse(RootKey root, const QByteArray& text, QString* error)
{
    Hive hive(root);
    qsizetype lineNo = 0;
    QString what;
    auto fail = [&]() -> std::optional<Hive> {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(lineNo).arg(what);
        return std::nullopt;
    };

    QByteArray data = text;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    // A zero-length file holds nothing to lose; treat it like a missing one.
    if (data.isEmpty())
        return hive;

    QList<QByteArray> lines = data.split('\n');
    for (QByteArray& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    auto lineAt = [&](qsizetype i) -> std::optional<QString> {
        lineNo = i + 1;
        std::optional<QString> s = decodeLine(lines[i]);
        if (!s)
            what = QStringLiteral("not valid UTF-8");
        return s;
    };

    std::optional<QString> header = lineAt(0);
    if (!header)
        return fail();
    if (header->trimmed() != u"REGEDIT4") {
        what = QStringLiteral("the file does not start with REGEDIT4");
        return fail();
    }

    const QString rootText = rootName(root);
    std::optional<QString> section;  // normalised path of the current section
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const std::optional<QString> decoded = lineAt(i);
        if (!decoded)
            return fail();
        QStringView line(*decoded);
        while (!line.isEmpty() && isBlank(line.front()))
            line = line.mid(1);
        if (line.isEmpty())
            continue;

        if (line.front() == u'[') {
            const qsizetype close = line.lastIndexOf(u']');
            if (close < 0) {
                what = QStringLiteral("section header has no closing ']'");
                return fail();
            }
            if (!allBlank(line.mid(close + 1))) {
                what = QStringLiteral("text after the section header");
                return fail();
            }
            const QStringView inner = line.mid(1, close - 1);
            const qsizetype slash = inner.indexOf(u'\\');
            const QStringView rootPart = slash < 0 ? inner : inner.left(slash);
            if (!asciiEqualsIgnoreCase(rootPart.toString(), rootText)) {
                what = QStringLiteral("section [%1] is not under %2").arg(snippet(inner), rootText);
                return fail();
            }
            const QString path = slash < 0 ? QString() : normalizePath(inner.mid(slash + 1).toString());
            if (!storableName(path)) {
                what = QStringLiteral("bad key name");
                return fail();
            }
            // Checked before the keys are made: each level of a path is a key of its own.
            what = keyPathProblem(path);
            if (!what.isEmpty())
                return fail();
            if (!path.isEmpty())
                hive.ensureKey(path);
            section = path;
            continue;
        }

        if (line.front() != u'"' && line.front() != u'@') {
            what = QStringLiteral("unexpected text '%1'").arg(snippet(line));
            return fail();
        }
        if (!section) {
            what = QStringLiteral("value before the first section");
            return fail();
        }
        const qsizetype valueLine = lineNo;
        qsizetype pos = 0;
        QString name;
        if (line.front() == u'@') {
            pos = 1;
        } else {
            std::optional<QString> n = readQuoted(line, pos, &what);
            if (!n)
                return fail();
            name = *n;
        }
        if (!storableName(name)) {
            what = QStringLiteral("bad value name");
            return fail();
        }
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        if (pos >= line.size() || line[pos] != u'=') {
            what = QStringLiteral("'=' missing after the value name");
            return fail();
        }
        ++pos;
        while (pos < line.size() && isBlank(line[pos]))
            ++pos;
        QStringView rest = line.mid(pos);
        const QString lower = asciiLower(rest.left(6).toString());

        RegValue v;
        if (rest.startsWith(u'"')) {
            qsizetype p = 0;
            std::optional<QString> t = readQuoted(rest, p, &what);
            if (!t)
                return fail();
            if (!allBlank(rest.mid(p))) {
                what = QStringLiteral("text after the closing '\"'");
                return fail();
            }
            v = RegValue::fromString(*t);
        } else if (lower.startsWith(u"dword:")) {
            const QStringView digits = rest.mid(6).trimmed();
            bool ok = !digits.isEmpty() && digits.size() <= 8;
            for (QChar c : digits)
                ok = ok && isHexDigit(c);
            if (!ok) {
                what = QStringLiteral("bad dword value '%1' (1 to 8 hex digits expected)").arg(snippet(rest.mid(6)));
                return fail();
            }
            v = RegValue::fromDWord(digits.toUInt(nullptr, 16));
        } else if (lower.startsWith(u"hex:") || lower.startsWith(u"hex(")) {
            uint type = 0x3;
            qsizetype p = 3;
            if (rest[p] == u'(') {
                const qsizetype close = rest.indexOf(u')', p);
                const QStringView digits = close < 0 ? QStringView() : rest.mid(p + 1, close - p - 1);
                bool ok = !digits.isEmpty() && digits.size() <= 8;
                for (QChar c : digits)
                    ok = ok && isHexDigit(c);
                if (!ok || close + 1 >= rest.size() || rest[close + 1] != u':') {
                    what = QStringLiteral("bad hex(N): type '%1'").arg(snippet(rest));
                    return fail();
                }
                type = digits.toUInt(nullptr, 16);
                p = close + 1;
            }
            // Long data runs on over lines that end in a backslash.
            QString bytesText = rest.mid(p + 1).toString();
            while (bytesText.trimmed().endsWith(u'\\')) {
                bytesText = bytesText.trimmed();
                bytesText.chop(1);
                if (i + 1 >= lines.size()) {
                    what = QStringLiteral("hex data continues past the end of the file");
                    return fail();
                }
                const std::optional<QString> next = lineAt(++i);
                if (!next)
                    return fail();
                bytesText += *next;
            }
            lineNo = valueLine;
            const std::optional<QByteArray> bytes = readHexBytes(bytesText, &what);
            if (!bytes)
                return fail();
            const std::optional<RegValue> typed = valueFromBytes(type, *bytes, &what);
            if (!typed)
                return fail();
            v = *typed;
        } else {
            what = QStringLiteral("unknown value data '%1'").arg(snippet(rest));
            return fail();
        }
        hive.setValue(*section, name, v);
    }
    return hive;
}

// ---- Files ----

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

QString userConfigHome()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (xdg.startsWith(u'/'))
        return xdg;
    QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty())
        if (const passwd* pw = ::getpwuid(::geteuid()))
            home = QString::fromLocal8Bit(pw->pw_dir);
    return home + QStringLiteral("/.config");
}

// Users read the machine hive; the user hive is theirs alone.
mode_t fileMode(RootKey root) { return root == RootKey::LocalMachine ? 0644 : 0600; }
mode_t folderMode(RootKey root) { return root == RootKey::LocalMachine ? 0755 : 0700; }

QString folderOf(const QString& path) { return path.left(qMax<qsizetype>(path.lastIndexOf(u'/'), 1)); }

bool lockFd(int fd, int how)
{
    while (::flock(fd, how) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

bool makeFolders(const QString& folder, mode_t mode, QString* error)
{
    const QByteArray path = QFile::encodeName(folder);
    for (qsizetype i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/')
            continue;
        const QByteArray part = path.left(i);
        struct stat st;
        if (::stat(part.constData(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        if (::mkdir(part.constData(), mode) != 0 && errno != EEXIST) {
            *error = QStringLiteral("Unable to create folder %1: %2").arg(QFile::decodeName(part), errnoText(errno));
            return false;
        }
    }
    return true;
}

// The last hive read from each file, with what identifies that version of the file. Writers
// replace the file by rename, so a new version has another inode or other times.
struct HiveCache {
    struct Entry {
        QString path;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        std::optional<Hive> hive;
    };
    QMutex mutex;
    Entry entries[2];  // by RootKey
};

HiveCache& hiveCache()
{
    static HiveCache cache;
    return cache;
}

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Reads and parses the hive file; a missing file is an empty hive. An unchanged file is
// not parsed again.
std::optional<Hive> readHive(RootKey root, const QString& path, QString* error)
{
    Fd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return Hive(root);
        *error = QStringLiteral("Unable to open registry hive %1: %2").arg(path, errnoText(errno));
        return std::nullopt;
    }
    struct stat st;
    const bool known = ::fstat(fd.get(), &st) == 0;
    HiveCache::Entry& cached = hiveCache().entries[root == RootKey::LocalMachine ? 0 : 1];
    if (known) {
        QMutexLocker locker(&hiveCache().mutex);
        if (cached.hive && cached.path == path && cached.device == st.st_dev && cached.inode == st.st_ino &&
            cached.size == st.st_size && sameTime(cached.modified, st.st_mtim) && sameTime(cached.changed, st.st_ctim))
            return cached.hive;
    }
    QByteArray data;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = QStringLiteral("Unable to read registry hive %1: %2").arg(path, errnoText(errno));
            return std::nullopt;
        }
        if (n == 0)
            break;
        data.append(buffer, n);
    }
    QString why;
    std::optional<Hive> hive = Hive::parse(root, data, &why);
    if (!hive) {
        *error = QStringLiteral("Registry hive %1 is damaged, %2").arg(path, why);
        return hive;
    }
    // Only a file that did not change while it was read stands for what was parsed, and only
    // one whose last change is a second old: file times are coarse, so a file changed again
    // within the same tick (its inode reused by a rename) could otherwise pass as unchanged.
    struct stat after;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (known && ::fstat(fd.get(), &after) == 0 && after.st_size == st.st_size && sameTime(after.st_mtim, st.st_mtim) &&
        sameTime(after.st_ctim, st.st_ctim) && off_t(data.size()) == st.st_size && st.st_ctim.tv_sec + 1 < now.tv_sec) {
        QMutexLocker locker(&hiveCache().mutex);
        cached = HiveCache::Entry{path, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim, hive};
    }
    return hive;
}

bool writeAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        done += n;
    }
    return true;
}

// Write-temp-and-rename: a reader, or a crash, sees the old hive or the new one, never
// a mixture. Called with the exclusive lock held.
bool writeHive(RootKey root, const QString& path, const Hive& hive, QString* error)
{
    const QByteArray data = hive.serialize();
    // Never put down a file that would then refuse every later write.
    QString why;
    if (!Hive::parse(root, data, &why)) {
        *error = QStringLiteral("Refusing to write registry hive %1, it would not read back (%2)").arg(path, why);
        return false;
    }

    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        *error = QStringLiteral("Unable to create a file beside registry hive %1: %2").arg(path, errnoText(errno));
        return false;
    }
    auto failed = [&](const char* step) {
        *error = QStringLiteral("Unable to %1 registry hive %2: %3").arg(QLatin1String(step), path, errnoText(errno));
        ::unlink(temp.constData());
        return false;
    };

    // Keep the mode and owner the hive had (root editing a user's hive must not take it over).
    struct stat st;
    if (::stat(target.constData(), &st) == 0) {
        if (::fchmod(fd.get(), st.st_mode & 07777) != 0)
            return failed("set the mode of");
        if (::geteuid() == 0 && (st.st_uid != 0 || st.st_gid != 0) && ::fchown(fd.get(), st.st_uid, st.st_gid) != 0)
            return failed("set the owner of");
    } else if (::fchmod(fd.get(), fileMode(root)) != 0) {
        return failed("set the mode of");
    }
    if (!writeAll(fd.get(), data))
        return failed("write");
    if (::fsync(fd.get()) != 0)
        return failed("flush");
    if (::close(fd.release()) != 0)
        return failed("close");
    if (::rename(temp.constData(), target.constData()) != 0)
        return failed("replace");
    // Make the rename itself durable.
    Fd dir(::open(QFile::encodeName(folderOf(path)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

QString lockPathOf(const QString& hivePath) { return hivePath + QStringLiteral(".lock"); }

std::optional<Hive> loadShared(RootKey root)
{
    const QString path = Registry::hiveFilePath(root);
    const QByteArray lockPath = QFile::encodeName(lockPathOf(path));
    // A folder the user cannot write (the machine hive in /etc) may have no lock file and
    // allow none; the read then goes on unlocked, which is safe since writers replace the
    // hive by rename and a reader always sees one whole version.
    int lockFile = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, fileMode(root));
    if (lockFile < 0)
        lockFile = ::open(lockPath.constData(), O_RDONLY | O_CLOEXEC);
    Fd lock(lockFile);
    if (lock.get() >= 0)
        lockFd(lock.get(), LOCK_SH);
    QString error;
    std::optional<Hive> hive = readHive(root, path, &error);
    if (!hive)
        qCWarning(lcRegistry).noquote() << error;
    return hive;
}

bool modifyHive(RootKey root, const std::function<bool(Hive&)>& change)
{
    const QString path = Registry::hiveFilePath(root);
    QString error;
    auto failed = [&] {
        qCWarning(lcRegistry).noquote() << error;
        return false;
    };
    if (!makeFolders(folderOf(path), folderMode(root), &error))
        return failed();
    const QString lockPath = lockPathOf(path);
    Fd lock(::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, fileMode(root)));
    if (lock.get() < 0) {
        error = QStringLiteral("Unable to open lock file %1: %2").arg(lockPath, errnoText(errno));
        return failed();
    }
    if (!lockFd(lock.get(), LOCK_EX)) {
        error = QStringLiteral("Unable to lock %1: %2").arg(lockPath, errnoText(errno));
        return failed();
    }
    std::optional<Hive> hive = readHive(root, path, &error);
    if (!hive)
        return failed();
    if (!change(*hive))
        return true;
    if (!writeHive(root, path, *hive, &error))
        return failed();
    return true;
}

}  // namespace

QString Registry::hiveFilePath(RootKey root)
{
    const QString file = rootName(root) + QStringLiteral(".reg");
    const QString moved = qEnvironmentVariable("OVEX_REGISTRY_DIR");
    if (!moved.isEmpty())
        return moved + u'/' + file;
    if (root == RootKey::LocalMachine)
        return QStringLiteral("/etc/opt/ovex-kelvo/registry/") + file;
    return userConfigHome() + QStringLiteral("/ovex-kelvo/registry/") + file;
}

bool Registry::keyExists(RootKey root, const QString& path)
{
    const std::optional<Hive> hive = loadShared(root);
    return hive && hive->keyExists(path);
}

bool Registry::createKey(RootKey root, const QString& path)
{
    bool ok = false;
    return modifyHive(root, [&](Hive& hive) {
               if (hive.keyExists(path)) {
                   ok = true;
                   return false;
               }
               ok = hive.createKey(path);
               return ok;
           })
        && ok;
}

bool Registry::removeKey(RootKey root, const QString& path, bool recursive)
{
    bool removed = false;
    return modifyHive(root, [&](Hive& hive) { return removed = hive.removeKey(path, recursive); }) && removed;
}

QStringList Registry::subKeys(RootKey root, const QString& path)
{
    const std::optional<Hive> hive = loadShared(root);
    return hive ? hive->subKeys(path) : QStringList();
}

QStringList Registry::valueNames(RootKey root, const QString& path)
{
    const std::optional<Hive> hive = loadShared(root);
    return hive ? hive->valueNames(path) : QStringList();
}

std::optional<RegValue> Registry::value(RootKey root, const QString& path, const QString& name)
{
    const std::optional<Hive> hive = loadShared(root);
    return hive ? hive->value(path, name) : std::nullopt;
}

bool Registry::setValue(RootKey root, const QString& path, const QString& name, const RegValue& value)
{
    bool stored = false;
    return modifyHive(root, [&](Hive& hive) { return stored = hive.setValue(path, name, value); }) && stored;
}

bool Registry::removeValue(RootKey root, const QString& path, const QString& name)
{
    bool removed = false;
    return modifyHive(root, [&](Hive& hive) { return removed = hive.removeValue(path, name); }) && removed;
}

bool Registry::update(RootKey root, const std::function<bool(Hive&)>& change)
{
    return modifyHive(root, change);
}

// ---- Profile ----

Profile::Profile(const QString& company, const QString& application)
    : keyPath_(QStringLiteral("Software\\") + company + u'\\' + application)
{
}

QString Profile::keyPath() const { return keyPath_; }

QString Profile::readString(const QString& section, const QString& entry, const QString& fallback) const
{
    const std::optional<RegValue> v = Registry::value(RootKey::CurrentUser, keyPath_ + u'\\' + section, entry);
    return v && v->type == RegType::String ? v->text : fallback;
}

int Profile::readInt(const QString& section, const QString& entry, int fallback) const
{
    const std::optional<RegValue> v = Registry::value(RootKey::CurrentUser, keyPath_ + u'\\' + section, entry);
    if (!v)
        return fallback;
    if (v->type == RegType::DWord)
        return int(quint32(v->number));
    if (v->type == RegType::String) {
        bool ok = false;
        const int n = v->text.trimmed().toInt(&ok, 10);
        return ok ? n : fallback;
    }
    return fallback;
}

bool Profile::writeString(const QString& section, const QString& entry, const QString& value) const
{
    return Registry::setValue(RootKey::CurrentUser, keyPath_ + u'\\' + section, entry, RegValue::fromString(value));
}

bool Profile::writeInt(const QString& section, const QString& entry, int value) const
{
    return Registry::setValue(RootKey::CurrentUser, keyPath_ + u'\\' + section, entry,
                              RegValue::fromDWord(quint32(value)));
}

}  // namespace platform
