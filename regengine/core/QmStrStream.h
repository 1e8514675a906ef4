#pragma once

#include <QString>

namespace engine {

// A wide input stream over a copy of a text, with the state rules of a standard input
// stream: a read that finds nothing fails the stream, reaching the end sets end-of-text, and
// once either is set every later read fails until clear(). The page script and every class
// that reads its own script line read through it.
class QmStrStream {
public:
    QmStrStream() = default;
    QmStrStream(const QChar* text, qsizetype length);
    explicit QmStrStream(const QString& text);

    bool good() const { return !fail_ && !eof_; }
    bool fail() const { return fail_; }
    bool eof() const { return eof_; }
    explicit operator bool() const { return !fail_; }
    void clear() { fail_ = eof_ = false; }
    void setFail() { fail_ = true; }

    // No characters left (the state is not changed).
    bool atEnd() const { return pos_ >= text_.size(); }
    qsizetype pos() const { return pos_; }
    // Moves to `pos` (clamped to the text) and clears the state.
    void seek(qsizetype pos);
    // The character consumed last, or a null character at the start.
    QChar previous() const { return pos_ > 0 ? text_[pos_ - 1] : QChar(); }
    const QString& text() const { return text_; }

    // The next character without consuming it; -1 at the end (end-of-text is set) or when the
    // stream has failed.
    int peek();
    // One character; false (and the stream fails) at the end.
    bool get(QChar& c);
    // Puts the character consumed last back.
    void unget();
    // Consumes up to `n` characters (n < 0: no limit), through the first `delim`.
    void ignore(qsizetype n, QChar delim);

    // Standard getline: up to n - 1 characters into `out`, ending at `delim` (consumed, not
    // stored). Fails when n - 1 characters fill before the delimiter, or when nothing at all
    // was consumed. With a line-feed delimiter, a carriage return ending the line is dropped.
    bool getline(QString& out, qsizetype n, QChar delim = u'\n');

    // A blank-delimited word, as a standard stream reads into a string.
    bool readWord(QString& out);
    // A signed decimal number after blanks; fails, consuming nothing, on no digits or on a
    // value beyond 32 bits.
    bool readInt(qint32& value);
    // An unsigned hexadecimal number after blanks, with an optional 0x prefix; the whole
    // 32-bit range, so flag words from 0x80000000 up read as written.
    bool readHex(quint32& value);

private:
    // A read may start: otherwise the stream fails.
    bool sentry();
    void skipWhite();

    QString text_;
    qsizetype pos_ = 0;
    bool fail_ = false;
    bool eof_ = false;
};

}  // namespace engine
