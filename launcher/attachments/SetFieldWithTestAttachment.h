#pragma once

#include "launcher/attachments/FieldTest.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/FourCC.h"

namespace launcher {

// "SetFieldWithTest": sets its target code to one value when its test passes and to the
// other when it fails; either way the field is written.
// Script: target code (four characters), test, value when true, value when false (tokens;
// string-table references resolved, tags substituted when it runs).
class SetFieldWithTestAttachment : public engine::AttachmentType<SetFieldWithTestAttachment> {
public:
    bool ExecuteSelf(engine::Attachable* attachable, quint32 event) override;
    void ReadParameters(engine::QmStrStream& stream) override;

    const engine::FourCC& GetTarget() const { return target_; }
    const FieldTest& GetTest() const { return test_; }
    const QString& GetValueIfTrue() const { return ifTrue_; }
    const QString& GetValueIfFalse() const { return ifFalse_; }

private:
    engine::FourCC target_;
    FieldTest test_;
    QString ifTrue_;
    QString ifFalse_;
};

}  // namespace launcher
