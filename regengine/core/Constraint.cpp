#include "regengine/core/Constraint.h"

namespace engine {

Constraint::~Constraint() = default;

namespace {

quint32 g_quietFlags = 0;

}  // namespace

quint32 ConstraintQuietFlags()
{
    return g_quietFlags;
}

void SetConstraintQuietFlags(quint32 flags)
{
    g_quietFlags = flags;
}

}  // namespace engine
