#pragma once

#include <QString>

#include <initializer_list>
#include <span>

namespace platform {

// One argument of the safe formatter. It keeps its own type, so the format text decides
// only how a value is written, never how memory is read.
class FormatArg {
public:
    enum class Kind { Text, Signed, Unsigned, Char, Real };

    FormatArg(const QString& s) : kind_(Kind::Text), text_(s) {}
    FormatArg(const char* utf8) : kind_(Kind::Text), text_(QString::fromUtf8(utf8)) {}
    FormatArg(const char16_t* s) : kind_(Kind::Text), text_(QString::fromUtf16(s)) {}
    FormatArg(QChar c) : kind_(Kind::Char), signed_(c.unicode()) {}
    FormatArg(char c) : kind_(Kind::Char), signed_(static_cast<unsigned char>(c)) {}
    FormatArg(char16_t c) : kind_(Kind::Char), signed_(c) {}
    FormatArg(int v) : kind_(Kind::Signed), signed_(v) {}
    FormatArg(long v) : kind_(Kind::Signed), signed_(v) {}
    FormatArg(long long v) : kind_(Kind::Signed), signed_(v) {}
    FormatArg(unsigned v) : kind_(Kind::Unsigned), unsigned_(v) {}
    FormatArg(unsigned long v) : kind_(Kind::Unsigned), unsigned_(v) {}
    FormatArg(unsigned long long v) : kind_(Kind::Unsigned), unsigned_(v) {}
    FormatArg(double v) : kind_(Kind::Real), real_(v) {}

    Kind kind() const { return kind_; }
    QString asText() const;
    long long asSigned() const;
    unsigned long long asUnsigned() const;
    double asReal() const;

private:
    Kind kind_;
    QString text_;
    long long signed_ = 0;
    unsigned long long unsigned_ = 0;
    double real_ = 0;
};

// printf-style formatting of texts that come from resources, scripts or servers. Supports
// %s %S %c %d %i %u %x %X %o %e %f %g and %% with flags, width, precision and the
// length modifiers (h, l, ll, I64, ...), which are accepted and ignored because every
// argument carries its own type. A conversion without an argument writes nothing; an
// unknown conversion is copied as it stands.
QString format(const QString& pattern, std::span<const FormatArg> args);
inline QString format(const QString& pattern, std::initializer_list<FormatArg> args)
{
    return format(pattern, std::span<const FormatArg>(args.begin(), args.size()));
}

template <typename... Args>
QString formatText(const QString& pattern, const Args&... args)
{
    return format(pattern, {FormatArg(args)...});
}

}  // namespace platform
