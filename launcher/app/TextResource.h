#pragma once

#include "regengine/core/LangCode.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace launcher {

// A TEXT resource of the launcher in the engine's language: `prefix` followed by the
// language code (mapped through the language map, upper-cased as resource names are),
// then by its first two letters, then by "EN". `found` (optional) receives the name used.
std::optional<QString> LoadTextResource(const QString& module, const QString& prefix, const engine::LangCode& language,
                                        QString* found = nullptr);

// Resource bytes as text: UTF-16 when they open with its byte-order mark, else UTF-8. A
// mark stays as the first character.
QString DecodeTextResource(const QByteArray& bytes);

}  // namespace launcher
