#include "client/Globals.h"

namespace client {

RunState& runState()
{
    static RunState state;
    return state;
}

}  // namespace client
