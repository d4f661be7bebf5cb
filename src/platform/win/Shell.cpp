// Profile files and the shell: the real narrow-character calls, so that the
// hand-off file and the command line pass through the ANSI code page exactly
// as the label application expects.
#include <windows.h>
#include <shellapi.h>

#include "platform/Platform.h"

namespace torva::platform {

bool writeProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) !=
           FALSE;
}

intptr_t shellExecute(const std::string& operation, const std::string& file,
                      const std::string& parameters, const std::string& directory,
                      int showCommand) {
    const HINSTANCE result = ShellExecuteA(nullptr, operation.c_str(), file.c_str(),
                                           parameters.c_str(), directory.c_str(), showCommand);
    return reinterpret_cast<intptr_t>(result);
}

}  // namespace torva::platform
