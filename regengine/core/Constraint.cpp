#include "regengine/core/Constraint.h"

Constraint::~Constraint() = default;
