#pragma once
// Every program started from the emulator lands in one job object, so that
// the end of a run can wait until the stand-in has written its record, and a
// press can tell how many programs it started.

#include <windows.h>

#include "platform/win/Handle.h"

namespace torva::emulator {

class ChildJob {
  public:
    ChildJob();
    // True when every child has ended within the time.
    bool settle(DWORD ms);
    // Programs started into the job so far, this process included; -1
    // where the job cannot tell.
    long started();

  private:
    win::UniqueHandleNull job_;
};

}  // namespace torva::emulator
