#include "regengine/ui/controls/QmDataHolder.h"

#include "regengine/core/QmStrStream.h"
#include "regengine/core/ScriptReading.h"

namespace engine {

namespace {

constexpr qsizetype kValueLimit = 257;

}  // namespace

QmDataHolder::QmDataHolder(QmStrStream& script, QmWind* parent) : QmWind(parent)
{
    SetCode(FourCC(script));
    if (script.previous() != u'\n') {
        SkipLineBlanks(script);
        ReadLineCut(script, value_, kValueLimit);
    }
    if (value_ == u"_")
        value_.clear();
}

void QmDataHolder::SetTextNotify(const QString& text)
{
    value_ = text;
}

QString QmDataHolder::GetValue() const
{
    return value_;
}

bool QmDataHolder::Validate()
{
    return true;
}

}  // namespace engine
