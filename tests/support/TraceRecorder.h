#pragma once

#include "regengine/core/Displayer.h"
#include "regengine/core/EngineTrace.h"

#include <QString>

namespace testsupport {

// The engine's traces, kept for the life of the object.
class TraceRecorder final : public engine::Displayer {
public:
    TraceRecorder() { engine::SetTraceDisplayer(this); }
    ~TraceRecorder() override { engine::SetTraceDisplayer(nullptr); }
    void Clear() override {}
    void Append(QStringView text) override { text_ += text; }

    bool Contains(const QString& part) const { return text_.contains(part); }
    const QString& Text() const { return text_; }
    void Forget() { text_.clear(); }

private:
    QString text_;
};

}  // namespace testsupport
