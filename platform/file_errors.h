// The errors the file-system adapters raise, with the texts the scripting
// runtime gives the same numbers, so every adapter reports a condition alike.
#pragma once

#include <cstdint>
#include <string>

#include "platform/error.h"

namespace brakkis {

[[noreturn]] inline void RaiseFileError(std::int32_t number) {
    const char* text = "Invalid procedure call or argument";
    switch (number) {
        case errnum::kFileNotFound:
            text = "File not found";
            break;
        case errnum::kFileAlreadyExists:
            text = "File already exists";
            break;
        case errnum::kPermissionDenied:
            text = "Permission denied";
            break;
        case errnum::kPathNotFound:
            text = "Path not found";
            break;
        case errnum::kBadFileMode:
            text = "Bad file mode";
            break;
        default:
            break;
    }
    throw RaisedError(number, "FileSystem", text);
}

}  // namespace brakkis
