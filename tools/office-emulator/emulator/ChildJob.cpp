#include "ChildJob.h"

namespace torva::emulator {

ChildJob::ChildJob() : job_(CreateJobObjectW(nullptr, nullptr)) {
    if (job_ && !AssignProcessToJobObject(job_.get(), GetCurrentProcess())) job_.reset();
}

bool ChildJob::settle(DWORD ms) {
    if (!job_) return false;
    const DWORD end = GetTickCount() + ms;
    for (;;) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
        if (!QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &info,
                                       sizeof info, nullptr))
            return false;
        if (info.ActiveProcesses <= 1) return true;
        if (static_cast<LONG>(GetTickCount() - end) >= 0) return false;
        Sleep(20);
    }
}

long ChildJob::started() {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!job_ || !QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &info,
                                            sizeof info, nullptr))
        return -1;
    return static_cast<long>(info.TotalProcesses);
}

}  // namespace torva::emulator
