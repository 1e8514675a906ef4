#include "regengine/ui/pages/QmErrorHandler.h"

namespace engine {

QmErrorHandler::~QmErrorHandler() = default;

void QmErrorHandler::Set(const FourCC& code, QChar letter)
{
    code_ = code;
    letter_ = letter;
    active_ = true;
}

}  // namespace engine
