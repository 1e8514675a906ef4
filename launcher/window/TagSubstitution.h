#pragma once

#include "regengine/core/FourCC.h"

#include <QString>

#include <functional>

namespace launcher {

// Where the values of tags come from. Without an application source, application tags
// stay as written.
struct TagSources {
    std::function<QString(const engine::FourCC& code)> field;
    std::function<QString(const QString& name)> app;
};

// Replaces the tags of `text`: "<CODE>" (exactly four characters between the brackets) by
// the field's value and "<$APP.name>" by the application value, URL-encoded when asked
// unless the name ends in ":raw". A tag runs from a '<' to the next '>'; anything else
// between brackets stays. Inserted values are not scanned again, so a value holding a tag
// keeps it. `replaced` (optional) tells whether any tag was replaced.
QString SubstituteTagText(const QString& text, bool urlEncode, const TagSources& sources, bool* replaced = nullptr);

// True for an address whose scheme is http, in any letter case: it goes out unencrypted.
bool IsPlainHttpAddress(const QString& address);

}  // namespace launcher
