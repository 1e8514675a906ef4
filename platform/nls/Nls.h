#pragma once

#include <QString>

namespace platform {

// The user's locale as the POSIX environment gives it (LC_ALL, then LC_MESSAGES, then
// LANG), split into its ISO 639 language and ISO 3166 country.
struct UserLocale {
    QString language;  // "en"; empty for the C and POSIX locales
    QString country;   // "US"; may be empty
};
UserLocale userLocale();
UserLocale parseLocale(const QString& posixName);  // "de_AT.UTF-8@euro"

// The Windows-style three-letter abbreviated language name ("ENU", "ENG", "DEU", "FRC",
// "ESN", "PTB", "CHS", ...). The C locale gives "ENU"; a language Windows does not
// know gives its upper-cased code and the country's first letter.
QString languageAbbreviation(const UserLocale& locale);
QString languageAbbreviation();

// ISO 3166 alpha-3 code ("USA") and English name ("United States") of the user's country;
// empty when the locale names none.
QString countryIso3(const UserLocale& locale);
QString countryName(const UserLocale& locale);

// The user's login name.
QString userName();

}  // namespace platform
