#pragma once

#include "regengine/core/FourCC.h"

#include <QChar>

namespace engine {

// A page's error handler: while it is active, a failed validation on the page moves the
// registration window to the page its error control names instead of showing boxes.
class QmErrorHandler {
public:
    virtual ~QmErrorHandler();

    // Stores both and makes the handler active.
    void Set(const FourCC& code, QChar letter);

    FourCC GetCode() const { return code_; }
    QChar GetLetter() const { return letter_; }
    bool IsActive() const { return active_; }

private:
    FourCC code_;
    QChar letter_ = u'P';
    bool active_ = false;
};

}  // namespace engine
