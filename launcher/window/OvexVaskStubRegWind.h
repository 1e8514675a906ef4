#pragma once

#include "launcher/registration/StatusWindow.h"
#include "launcher/window/RegWind.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace launcher {

// The product's registration window: nothing is shown when the script ends, the start
// makes the unique registration id, and only the first run for a user on a machine whose
// setup recorded the "oobeSystem" pass goes on.
class OvexVaskStubRegWind : public RegWind {
public:
    using UuidMaker = std::function<std::optional<QString>()>;

    explicit OvexVaskStubRegWind(engine::QmStrStream& script);
    ~OvexVaskStubRegWind() override;

    void ShowFirstPage() override;
    // "USID" = a new UUID, then the start page. Without a UUID there is no start: the
    // launcher is asked to end with its exit code, so no hidden process stays behind.
    int ShowStartPage(int page) override;
    // The first-run test; the mode is not used.
    bool StartMode(int mode) override;

    // Where the id comes from; empty uses libuuid.
    void SetUuidMaker(UuidMaker maker) { makeUuid_ = std::move(maker); }

private:
    UuidMaker makeUuid_;
    // What the registration runs show while they go.
    StatusWindow statusWindow_{this};
};

// The window factory the launcher gives its script reader.
std::unique_ptr<RegWind> CreateStubRegWind(engine::QmStrStream& script);

}  // namespace launcher
