#include "regengine/core/EngineTrace.h"

#include "regengine/core/Displayer.h"

#include <QLoggingCategory>

namespace engine {

namespace {

Q_LOGGING_CATEGORY(lcEngineTrace, "ovex.engine.trace", QtWarningMsg)

Displayer* g_traceDisplayer = nullptr;

}  // namespace

void EngineTrace(const QString& text)
{
    if (g_traceDisplayer != nullptr)
        g_traceDisplayer->WriteLine(text);
    qCDebug(lcEngineTrace).noquote() << text;
}

void SetTraceDisplayer(Displayer* displayer)
{
    g_traceDisplayer = displayer;
}

Displayer* GetTraceDisplayer()
{
    return g_traceDisplayer;
}

}  // namespace engine
