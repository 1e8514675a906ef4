#pragma once

#include <QString>

namespace engine {

class FourCC;
class QmWind;

// What knows the display names of fields: the registration window, by its "FLDN" table.
// Elements reach it by walking up their parents, so they need nothing of the window class.
class FieldNameSource {
public:
    virtual ~FieldNameSource() = default;
    // The field's name for messages, or an empty text.
    virtual QString GetFieldDisplayName(const FourCC& code) const = 0;
};

// The name from the first enclosing FieldNameSource of `element`, by the element's code;
// empty when none encloses it.
QString EnclosingFieldDisplayName(const QmWind* element);

}  // namespace engine
