#include "support/modDecode.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Platform.h"
#include "base/Error.h"
#include "base/Text.h"

namespace torva {

namespace {

Error ioError(int32_t number, const char* what) {
    const int code = errno;
    std::string text = what;
    if (code != 0) {
        text += std::string(": ") + std::strerror(code);
    }
    return Error(number, fromUtf8(text));
}

// Opened for reading and writing, created where missing, as a binary open
// without an access clause does. A string file in a folder the user cannot
// write (Program Files) is still read: then it is opened for reading only.
platform::File openSource(const std::u16string& path) {
    try {
        platform::File file = platform::openFile(path, "a+b");
        std::rewind(file.get());
        return file;
    } catch (const Error&) {
        try {
            return platform::openFile(path, "rb");
        } catch (const Error&) {
        }
        throw;
    }
}

}  // namespace

void DecodeFile(std::u16string source, std::u16string target) {
    platform::File in = openSource(source);
    platform::File out = platform::openFile(target, "wb");

    if (std::fseek(in.get(), 0, SEEK_END) != 0) {
        throw ioError(vb::kDeviceIo, "Could not measure the string file");
    }
    const long length = std::ftell(in.get());
    if (length < 0 || std::fseek(in.get(), 0, SEEK_SET) != 0) {
        throw ioError(vb::kDeviceIo, "Could not measure the string file");
    }

    ChainedXorDecoder decode;
    {  // the locks end before the streams are closed
        platform::LockedStream reader(in.get());
        platform::LockedStream writer(out.get());
        // Only a failure sets errno; clearing it for every byte costs more
        // than the byte's read and write together.
        errno = 0;
        for (long done = 0; done < length; ++done) {
            const int b = reader.get();
            if (b == EOF) {
                throw ioError(vb::kPastEndOfFile, "Input past end of file");
            }
            if (writer.put(decode(static_cast<unsigned char>(b))) == EOF) {
                throw ioError(vb::kDeviceIo, "Could not write the decoded string file");
            }
        }
    }

    // The target first, then the source; a failed flush of the target counts.
    errno = 0;
    if (std::fclose(out.release()) != 0) {
        throw ioError(vb::kDeviceIo, "Could not write the decoded string file");
    }
    in.reset();
}

}  // namespace torva
