#pragma once

#include "platform/version/VersionBlock.h"

#include <QString>

#include <optional>

namespace platform {

// What the desktop says about the program that opens web links; tests substitute it.
class BrowserSource {
public:
    virtual ~BrowserSource() = default;
    // Full path of the program that opens http URLs; nullopt when there is none.
    virtual std::optional<QString> httpHandlerExecutable() const = 0;
    // That program's version strings ("FileDescription", "ProductVersion"); nullopt when nothing describes it.
    virtual std::optional<VersionBlock> httpHandlerVersionInfo() const = 0;
};

}  // namespace platform
