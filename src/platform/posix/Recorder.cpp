#include "platform/posix/Recorder.h"

namespace torva::platform::posix {

Recorder& recorder() {
    static Recorder instance;
    return instance;
}

}  // namespace torva::platform::posix
