#include "launcher/attachments/FieldTest.h"

#include "launcher/window/RegWind.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/core/ScriptReading.h"
#include "regengine/ui/element/QmWind.h"

#include "platform/text/Ascii.h"
#include "platform/text/Format.h"

using namespace engine;

namespace launcher {

namespace {

struct OperationToken {
    const char16_t* token;
    FieldTest::Operation operation;
    bool invert;
};

// "<=" and ">=" are the negations of ">" and "<": left <= every value is "not left > any".
constexpr OperationToken kOperations[] = {
    {u"eq", FieldTest::Equal, false},          {u"ne", FieldTest::Equal, true},
    {u"contains", FieldTest::Contains, false}, {u"ncontains", FieldTest::Contains, true},
    {u"<", FieldTest::LessThan, false},        {u"<=", FieldTest::GreaterThan, true},
    {u">", FieldTest::GreaterThan, false},     {u">=", FieldTest::LessThan, true},
};

bool matches(FieldTest::Operation operation, const QString& left, const QString& right)
{
    switch (operation) {
    case FieldTest::Equal: return left == right;
    case FieldTest::Contains: return left.contains(right);
    case FieldTest::LessThan: return LeadingDecimal(left) < LeadingDecimal(right);
    case FieldTest::GreaterThan: return LeadingDecimal(left) > LeadingDecimal(right);
    }
    return false;
}

}  // namespace

void FieldTest::ReadFromScript(QmStrStream& stream)
{
    left_ = ReadScriptToken(stream);
    const QString token = platform::asciiLower(ReadScriptToken(stream));
    bool known = false;
    for (const OperationToken& op : kOperations) {
        if (token == op.token) {
            operation_ = op.operation;
            invert_ = op.invert;
            known = true;
            break;
        }
    }
    if (!known)
        EngineTrace(platform::formatText(QStringLiteral("Unknown test operation %s"), token));
    right_.RemoveAll();
    right_.ReadItems(stream);
}

bool FieldTest::Evaluate(RegWind& window) const
{
    const QString left = window.SubstituteTags(left_.size() == 4 ? u'<' + left_ + u'>' : left_, false);
    bool result = false;
    for (const QString& item : right_) {
        if (matches(operation_, left, window.SubstituteTags(item, false))) {
            result = true;
            break;
        }
    }
    return invert_ ? !result : result;
}

}  // namespace launcher
