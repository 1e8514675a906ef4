#pragma once

#include "launcher/attachments/FieldTest.h"

#include "regengine/core/Attachment.h"

namespace launcher {

// "SetExitCode": when its test passes, sets the launcher's exit code; with flag bit 0 it
// also ends the launcher with that code.
// Script: test, exit code (decimal), flags (hexadecimal).
class SetExitCodeAttachment : public engine::AttachmentType<SetExitCodeAttachment> {
public:
    static constexpr quint32 kQuit = 0x1;

    bool ExecuteSelf(engine::Attachable* attachable, quint32 event) override;
    void ReadParameters(engine::QmStrStream& stream) override;

    int GetExitCode() const { return exitCode_; }
    const FieldTest& GetTest() const { return test_; }
    quint32 GetFlags() const { return flags_; }

private:
    qint32 exitCode_ = 0;
    FieldTest test_;
    quint32 flags_ = 0;
};

}  // namespace launcher
