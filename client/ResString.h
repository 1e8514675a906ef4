#pragma once

#include "platform/text/Format.h"

#include <QString>

namespace client {

// A text from the client's string table. When the text holds "%", it is filled from the
// arguments by the safe formatter: table texts are never printf formats.
class ResString : public QString {
public:
    template <typename... Args>
    explicit ResString(int id, const Args&... args) : QString(Load(id, {platform::FormatArg(args)...}))
    {}

private:
    static QString Load(int id, std::initializer_list<platform::FormatArg> args);
};

}  // namespace client
