#include "regengine/core/QmStrStream.h"

#include "regengine/core/ScriptReading.h"

#include <limits>

namespace engine {

QmStrStream::QmStrStream(const QChar* text, qsizetype length)
    : text_(text != nullptr && length > 0 ? QString(text, length) : QString())
{}

QmStrStream::QmStrStream(const QString& text) : text_(text) {}

void QmStrStream::seek(qsizetype pos)
{
    pos_ = qBound<qsizetype>(0, pos, text_.size());
    clear();
}

bool QmStrStream::sentry()
{
    if (fail_ || eof_) {
        fail_ = true;
        return false;
    }
    return true;
}

int QmStrStream::peek()
{
    if (!sentry())
        return -1;
    if (atEnd()) {
        eof_ = true;
        return -1;
    }
    return text_[pos_].unicode();
}

bool QmStrStream::get(QChar& c)
{
    if (!sentry())
        return false;
    if (atEnd()) {
        eof_ = fail_ = true;
        return false;
    }
    c = text_[pos_++];
    return true;
}

void QmStrStream::unget()
{
    // As a standard stream does, putting back clears end-of-text first.
    eof_ = false;
    if (fail_ || pos_ == 0) {
        fail_ = true;
        return;
    }
    --pos_;
}

void QmStrStream::ignore(qsizetype n, QChar delim)
{
    if (!sentry())
        return;
    for (qsizetype done = 0; n < 0 || done < n; ++done) {
        if (atEnd()) {
            eof_ = true;
            return;
        }
        if (text_[pos_++] == delim)
            return;
    }
}

bool QmStrStream::getline(QString& out, qsizetype n, QChar delim)
{
    out.clear();
    if (!sentry())
        return false;
    qsizetype consumed = 0;
    for (;;) {
        if (atEnd()) {
            eof_ = true;
            if (consumed == 0)
                fail_ = true;
            break;
        }
        const QChar c = text_[pos_];
        if (c == delim) {
            ++pos_;
            ++consumed;
            break;
        }
        if (out.size() + 1 >= n) {
            fail_ = true;
            break;
        }
        out += c;
        ++pos_;
        ++consumed;
    }
    if (delim == u'\n' && !out.isEmpty() && out.back() == u'\r')
        out.chop(1);
    return !fail_;
}

void QmStrStream::skipWhite()
{
    while (!atEnd() && IsScriptBlank(text_[pos_]))
        ++pos_;
    if (atEnd())
        eof_ = true;
}

bool QmStrStream::readWord(QString& out)
{
    out.clear();
    if (!sentry())
        return false;
    skipWhite();
    while (!atEnd() && !IsScriptBlank(text_[pos_]))
        out += text_[pos_++];
    if (atEnd())
        eof_ = true;
    if (out.isEmpty())
        fail_ = true;
    return !fail_;
}

bool QmStrStream::readInt(qint32& value)
{
    if (!sentry())
        return false;
    const qsizetype start = pos_;
    skipWhite();
    qsizetype i = pos_;
    bool negative = false;
    if (i < text_.size() && (text_[i] == u'-' || text_[i] == u'+'))
        negative = text_[i++] == u'-';
    const qsizetype digits = i;
    qint64 v = 0;
    bool overflow = false;
    for (; i < text_.size() && text_[i] >= u'0' && text_[i] <= u'9'; ++i) {
        if (overflow)
            continue;
        v = v * 10 + (text_[i].unicode() - u'0');
        overflow = v > qint64(std::numeric_limits<qint32>::max()) + 1;
    }
    if (negative)
        v = -v;
    if (i == digits || overflow || v > std::numeric_limits<qint32>::max() || v < std::numeric_limits<qint32>::min()) {
        pos_ = start;
        eof_ = false;
        fail_ = true;
        return false;
    }
    pos_ = i;
    eof_ = atEnd();
    value = static_cast<qint32>(v);
    return true;
}

bool QmStrStream::readHex(quint32& value)
{
    if (!sentry())
        return false;
    const qsizetype start = pos_;
    skipWhite();
    qsizetype i = pos_;
    auto hexDigit = [this](qsizetype at) {
        if (at >= text_.size())
            return -1;
        const char16_t c = text_[at].unicode();
        if (c >= u'0' && c <= u'9')
            return int(c - u'0');
        if (c >= u'a' && c <= u'f')
            return int(c - u'a' + 10);
        if (c >= u'A' && c <= u'F')
            return int(c - u'A' + 10);
        return -1;
    };
    if (hexDigit(i) == 0 && i + 1 < text_.size() && (text_[i + 1] == u'x' || text_[i + 1] == u'X') &&
        hexDigit(i + 2) >= 0)
        i += 2;
    const qsizetype digits = i;
    quint64 v = 0;
    bool overflow = false;
    for (int d; (d = hexDigit(i)) >= 0; ++i) {
        if (overflow)
            continue;
        v = (v << 4) | quint64(d);
        overflow = v > 0xFFFFFFFFull;
    }
    if (i == digits || overflow) {
        pos_ = start;
        eof_ = false;
        fail_ = true;
        return false;
    }
    pos_ = i;
    eof_ = atEnd();
    value = static_cast<quint32>(v);
    return true;
}

}  // namespace engine
