#pragma once

#include "launcher/attachments/FieldTest.h"

#include "regengine/core/Attachment.h"
#include "regengine/core/FourCC.h"

namespace launcher {

// "Counter": counts the events whose test passes and shows the count under its target
// code; with flag bit 0 the count is kept in the engine's registry key under the
// attachment's name, so it goes on across runs.
// Script: test, target code, flags (hexadecimal).
class CounterAttachment : public engine::AttachmentType<CounterAttachment> {
public:
    static constexpr quint32 kKeepInRegistry = 0x1;

    bool ExecuteSelf(engine::Attachable* attachable, quint32 event) override;
    void ReadParameters(engine::QmStrStream& stream) override;

    int GetCount() const { return count_; }
    const FieldTest& GetTest() const { return test_; }
    const engine::FourCC& GetTarget() const { return target_; }
    quint32 GetFlags() const { return flags_; }

private:
    int count_ = 0;
    FieldTest test_;
    engine::FourCC target_;
    quint32 flags_ = 0;
    bool countLoaded_ = false;
};

}  // namespace launcher
