#pragma once

#include <QString>

namespace engine {

// A named validation rule of the page script, attached to page elements, which check their
// value with it when they validate. The rules themselves (required, letters, digits, e-mail,
// character sets, masks) and the global constraint list belong to the constraint classes;
// this is the operation the elements call.
class Constraint {
public:
    Constraint() = default;
    Constraint(const Constraint&) = delete;
    Constraint& operator=(const Constraint&) = delete;
    virtual ~Constraint();

    // True when `text` passes. `label` is the field's display name, or null for the
    // generic message.
    virtual bool Validate(const QString& text, const QString* label) = 0;
};

// The quiet switch: while its bit 0 is set no constraint shows a message box. Callers that
// report a validation's outcome themselves set it around the validation and restore it.
quint32 ConstraintQuietFlags();
void SetConstraintQuietFlags(quint32 flags);

}  // namespace engine
