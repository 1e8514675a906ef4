#include "platform/nls/Nls.h"

#include "platform/text/Ascii.h"

#include <QHash>
#include <QLocale>

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace platform {

QString iso3ForAlpha2(const QString& alpha2);  // CountryCodes.cpp

namespace {

QString env(const char* name)
{
    const char* v = std::getenv(name);
    return v && *v ? QString::fromLocal8Bit(v) : QString();
}

// Windows names a language with its ISO 639 code and one letter for the variety. These
// are the varieties Windows has; a language not listed takes its code plus the default
// letter and a country not listed takes the language's main variety.
struct Variety {
    const char* language;
    const char* country;  // nullptr: the main variety
    const char* abbrev;
};

constexpr Variety kVarieties[] = {
    {"en", "US", "ENU"},    {"en", "GB", "ENG"},    {"en", "AU", "ENA"},    {"en", "CA", "ENC"},
    {"en", "NZ", "ENZ"},    {"en", "IE", "ENI"},    {"en", "ZA", "ENS"},    {"en", "JM", "ENJ"},
    {"en", "BZ", "ENL"},    {"en", "TT", "ENT"},    {"en", "ZW", "ENW"},    {"en", "PH", "ENP"},
    {"en", "IN", "ENN"},    {"en", "MY", "ENM"},    {"en", "SG", "ENE"},    {"en", nullptr, "ENU"},
    {"de", "DE", "DEU"},    {"de", "CH", "DES"},    {"de", "AT", "DEA"},    {"de", "LU", "DEL"},
    {"de", "LI", "DEC"},    {"de", nullptr, "DEU"}, {"fr", "FR", "FRA"},    {"fr", "BE", "FRB"},
    {"fr", "CA", "FRC"},    {"fr", "CH", "FRS"},    {"fr", "LU", "FRL"},    {"fr", "MC", "FRM"},
    {"fr", nullptr, "FRA"}, {"es", "ES", "ESN"},    {"es", "MX", "ESM"},    {"es", "GT", "ESG"},
    {"es", "CR", "ESC"},    {"es", "PA", "ESA"},    {"es", "DO", "ESD"},    {"es", "VE", "ESV"},
    {"es", "CO", "ESO"},    {"es", "PE", "ESR"},    {"es", "AR", "ESS"},    {"es", "EC", "ESF"},
    {"es", "CL", "ESL"},    {"es", "UY", "ESY"},    {"es", "PY", "ESZ"},    {"es", "BO", "ESB"},
    {"es", "SV", "ESE"},    {"es", "HN", "ESH"},    {"es", "NI", "ESI"},    {"es", "PR", "ESU"},
    {"es", "US", "EST"},    {"es", nullptr, "ESN"}, {"pt", "BR", "PTB"},    {"pt", "PT", "PTG"},
    {"pt", nullptr, "PTG"}, {"it", "IT", "ITA"},    {"it", "CH", "ITS"},    {"it", nullptr, "ITA"},
    {"nl", "NL", "NLD"},    {"nl", "BE", "NLB"},    {"nl", nullptr, "NLD"}, {"zh", "CN", "CHS"},
    {"zh", "SG", "ZHI"},    {"zh", "TW", "CHT"},    {"zh", "HK", "ZHH"},    {"zh", "MO", "ZHM"},
    {"zh", nullptr, "CHS"}, {"ja", nullptr, "JPN"}, {"ko", nullptr, "KOR"}, {"sv", "FI", "SVF"},
    {"sv", nullptr, "SVE"}, {"nb", nullptr, "NOR"}, {"no", nullptr, "NOR"}, {"nn", nullptr, "NON"},
    {"da", nullptr, "DAN"}, {"fi", nullptr, "FIN"}, {"pl", nullptr, "PLK"}, {"ru", nullptr, "RUS"},
    {"cs", nullptr, "CSY"}, {"sk", nullptr, "SKY"}, {"hu", nullptr, "HUN"}, {"tr", nullptr, "TRK"},
    {"el", nullptr, "ELL"}, {"he", nullptr, "HEB"}, {"ar", "SA", "ARA"},    {"ar", "EG", "ARE"},
    {"ar", nullptr, "ARA"}, {"th", nullptr, "THA"}, {"uk", nullptr, "UKR"}, {"ro", nullptr, "ROM"},
    {"hr", nullptr, "HRV"}, {"sl", nullptr, "SLV"}, {"bg", nullptr, "BGR"}, {"et", nullptr, "ETI"},
    {"lv", nullptr, "LVI"}, {"lt", nullptr, "LTH"}, {"is", nullptr, "ISL"}, {"id", nullptr, "IND"},
    {"ms", nullptr, "MSL"}, {"vi", nullptr, "VIT"}, {"ca", nullptr, "CAT"}, {"eu", nullptr, "EUQ"},
    {"sr", nullptr, "SRL"}, {"hi", nullptr, "HIN"}, {"fa", nullptr, "FAR"}, {"af", nullptr, "AFK"},
    {"sq", nullptr, "SQI"}, {"be", nullptr, "BEL"}, {"mk", nullptr, "MKI"}, {"gl", nullptr, "GLC"},
    {"ka", nullptr, "KAT"},
};

}  // namespace

UserLocale parseLocale(const QString& posixName)
{
    QString name = posixName;
    // The codeset and the modifier go: "fr_CA.UTF-8@euro" -> "fr_CA".
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == u'.' || name[i] == u'@') {
            name.truncate(i);
            break;
        }
    }
    UserLocale loc;
    if (name.isEmpty() || name == u"C" || name == u"POSIX")
        return loc;
    const QStringList parts = name.split(u'_');
    loc.language = asciiLower(parts.value(0));
    loc.country = asciiUpper(parts.value(1));
    return loc;
}

UserLocale userLocale()
{
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString v = env(var);
        if (!v.isEmpty())
            return parseLocale(v);
    }
    return {};
}

QString languageAbbreviation(const UserLocale& locale)
{
    if (locale.language.isEmpty())
        return QStringLiteral("ENU");
    const Variety* fallback = nullptr;
    for (const Variety& v : kVarieties) {
        if (locale.language != QLatin1String(v.language))
            continue;
        if (v.country == nullptr)
            fallback = &v;
        else if (locale.country == QLatin1String(v.country))
            return QString::fromLatin1(v.abbrev);
    }
    if (fallback)
        return QString::fromLatin1(fallback->abbrev);
    const QString lang = asciiUpper(locale.language.left(2));
    return lang + (locale.country.isEmpty() ? lang.left(1) : locale.country.left(1));
}

QString languageAbbreviation()
{
    return languageAbbreviation(userLocale());
}

QString countryIso3(const UserLocale& locale)
{
    if (locale.country.size() != 2)
        return {};
    return iso3ForAlpha2(locale.country);
}

QString countryName(const UserLocale& locale)
{
    if (locale.country.size() != 2)
        return {};
    const QLocale::Territory t = QLocale::codeToTerritory(locale.country);
    return t == QLocale::AnyTerritory ? QString() : QLocale::territoryToString(t);
}

QString userName()
{
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return env("USER");
}

}  // namespace platform
