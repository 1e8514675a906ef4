#pragma once

#include "regengine/core/Displayer.h"
#include "regengine/core/EngineTrace.h"

#include "platform/registry/Registry.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace launchertest {

// The engine's traces, kept for the life of the object.
class TraceRecorder final : public engine::Displayer {
public:
    TraceRecorder() { engine::SetTraceDisplayer(this); }
    ~TraceRecorder() override { engine::SetTraceDisplayer(nullptr); }
    void Clear() override {}
    void Append(QStringView text) override { text_ += text; }

    bool Contains(const QString& part) const { return text_.contains(part); }
    const QString& Text() const { return text_; }

private:
    QString text_;
};

// The user hive as the launcher left it; "<none>" when there is none.
inline QByteArray userHive()
{
    QFile f(platform::Registry::hiveFilePath(platform::RootKey::CurrentUser));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

}  // namespace launchertest
