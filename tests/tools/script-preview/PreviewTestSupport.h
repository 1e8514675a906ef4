#pragma once

#include "tests/support/TestEnvironment.h"

#include <QStringList>

namespace previewtest {

// The launcher's exit code until a SetExitCode attachment sets one, as a process sees it.
constexpr int kUnsetExitCode = 31009 & 0xFF;

// script-preview run offscreen on `script` with `args`.
inline testsupport::RunResult runPreview(const QString& script, const QStringList& args)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return testsupport::runProgram(testsupport::binaryDir() + QStringLiteral("/tools/script-preview/script-preview"),
                                   QStringList{script} + args, env);
}

// The output's lines, empty ones left out.
inline QStringList outputLines(const QByteArray& out)
{
    return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
}

}  // namespace previewtest
