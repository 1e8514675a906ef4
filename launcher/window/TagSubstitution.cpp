#include "launcher/window/TagSubstitution.h"

#include "regengine/core/ScriptReading.h"

using namespace engine;

namespace launcher {

namespace {

const QString kAppPrefix = QStringLiteral("$APP");
const QString kRawSuffix = QStringLiteral(":raw");

}  // namespace

QString SubstituteTagText(const QString& text, bool urlEncode, const TagSources& sources, bool* replaced)
{
    QString out = text;
    bool any = false;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype open = out.indexOf(u'<', pos);
        const qsizetype close = out.indexOf(u'>', pos);
        if (open < 0 || close < 0)
            break;
        if (close < open) {
            pos = open;
            continue;
        }
        const QStringView inner = QStringView(out).mid(open + 1, close - open - 1);
        QString value;
        bool isTag = false;
        if (inner.size() == 4) {
            value = sources.field ? sources.field(FourCC(inner)) : QString();
            if (urlEncode)
                value = UrlEncode(value);
            isTag = true;
        } else if (sources.app && inner.size() >= 5 && inner.startsWith(kAppPrefix)) {
            // The character after "$APP" is the '.' before the name.
            QString name = inner.mid(5).toString();
            bool raw = false;
            if (name.endsWith(kRawSuffix)) {
                name.chop(kRawSuffix.size());
                raw = true;
            }
            value = sources.app(name);
            if (urlEncode && !raw)
                value = UrlEncode(value);
            isTag = true;
        }
        if (!isTag) {
            pos = close + 1;
            continue;
        }
        out.replace(open, close - open + 1, value);
        pos = open + value.size();
        any = true;
    }
    if (replaced != nullptr)
        *replaced = any;
    return out;
}

bool IsPlainHttpAddress(const QString& address)
{
    const QString text = address.trimmed();
    const qsizetype colon = text.indexOf(u':');
    return colon > 0 && QStringView(text).left(colon).compare(u"http", Qt::CaseInsensitive) == 0;
}

}  // namespace launcher
