#pragma once

#include "regengine/core/QmStringList.h"

#include <QString>

namespace engine {
class QmStrStream;
}  // namespace engine

namespace launcher {

class RegWind;

// The condition every launcher attachment carries: a left operand compared with a list of
// right operands, as in "-RGC EQ 1" or "CTRY ne ( USA , CAN )". The left operand is a field
// code when it has exactly four characters, else a text; both sides may hold tags.
class FieldTest {
public:
    enum Operation { Equal = 0, Contains = 1, LessThan = 2, GreaterThan = 3 };

    // Left operand (token), operation (token, any case), right operands (one token, or
    // "( a , b )"; string-table references resolved). An unknown operation is traced and
    // leaves the operation as it was.
    void ReadFromScript(engine::QmStrStream& stream);

    // True when the left value matches one of the right values by the operation, negated
    // when inverted: so "ne" is true when it equals none and ">=" when it is at least every
    // one of them.
    bool Evaluate(RegWind& window) const;

    Operation GetOperation() const { return operation_; }
    bool IsInverted() const { return invert_; }
    const QString& GetLeft() const { return left_; }
    const engine::QmStringList& GetRight() const { return right_; }

private:
    Operation operation_ = Equal;
    bool invert_ = false;
    QString left_;
    engine::QmStringList right_;
};

}  // namespace launcher
