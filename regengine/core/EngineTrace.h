#pragma once

#include <QString>

namespace engine {

class Displayer;

// The engine's one trace function. Texts go to the trace displayer the launcher installs
// (one without a target, so the product discards them) and to the "ovex.engine.trace" debug
// category, which is off unless QT_LOGGING_RULES turns it on.
void EngineTrace(const QString& text);

// The process-wide trace displayer (not owned); null removes it.
void SetTraceDisplayer(Displayer* displayer);
Displayer* GetTraceDisplayer();

}  // namespace engine
