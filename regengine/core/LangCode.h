#pragma once

#include <QString>

#include <array>
#include <cstddef>

namespace engine {

// A language code of up to three letters ("EN", "ZH", "CHS"); the positions after the code
// hold 0. It picks the language of the launcher's resources.
class LangCode {
public:
    // All three positions 0: no language.
    LangCode();
    // Copies up to three characters, stopping after the terminator; a longer text keeps its
    // first three characters.
    explicit LangCode(const char* text);
    // The same with the low byte of each character.
    explicit LangCode(QStringView text);

    bool operator==(const LangCode& other) const { return bytes_ == other.bytes_; }
    bool operator!=(const LangCode& other) const { return bytes_ != other.bytes_; }
    quint8 operator[](int i) const { return i >= 0 && i < 3 ? bytes_[static_cast<size_t>(i)] : 0; }

    // The code as text, up to its first 0: a two-letter code gives two characters.
    QString GetString() const;

    // The language map: "CHS" -> "ZH" and the like, entered once at start-up. A later value
    // for the same key replaces the earlier one.
    static void SetMapping(const LangCode& key, const LangCode& value);
    // The mapped value, or the code unchanged when the map does not hold it.
    static LangCode Translate(const LangCode& code);

    // The engine's current language, "EN" until the application sets it.
    static LangCode Current();
    static void SetCurrent(const LangCode& code);

private:
    std::array<quint8, 3> bytes_;
};

// h = h * 33 + character over GetString(), from 0, in 32-bit unsigned arithmetic.
quint32 HashLangCode(const LangCode& code);

size_t qHash(const LangCode& code, size_t seed = 0) noexcept;

}  // namespace engine
