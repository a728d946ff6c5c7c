#pragma once

// The Run's input/output errors from system error numbers.

#include <string>
#include <string_view>

#include "io/working_folder.h"

namespace genosieve {

// Maps a system errno value to the Run's I/O error code (messages.h), or to the errno
// itself when no code fits; such a value may coincide with a code, so build messages
// from errno with IoErrorMessageFromErrno.
int IoCodeFromErrno(int err);

// The message of a system error number: the French message of its I/O code, or
// "Erreur E/S <errno>" when no code fits. A failure that left errno at 0 counts as EIO,
// so that no failure is ever reported as "Erreur E/S 0".
std::string IoErrorMessageFromErrno(int err);

[[noreturn]] void ThrowIoError(int code);
[[noreturn]] void ThrowIoErrorFromErrno(int err);
// The same errors about `file`: RunError::file, fileRole (`role`, such as "Output file")
// and doing (what the Run was doing with it, such as "cannot write it") name it, so that
// MessageNamingFile (errors.h) can say which file and what failed.
[[noreturn]] void ThrowIoError(int code, std::string file, std::string_view role,
                               std::string doing);
[[noreturn]] void ThrowIoErrorFromErrno(int err, std::string file, std::string_view role,
                                        std::string doing);

// Why `what` ("\"done ! \"", "the data") could not be written to the standard output,
// from the system error number: the message of IoErrorMessageFromErrno, after the words
// "which its reader has closed" for a broken pipe (genosieve-cli ... | head).
std::string StandardOutputFailure(std::string_view what, int err);

// The file `name` of the folder as errors name it: absolute.
std::string PathInFolder(const WorkingFolder& folder, std::string_view name);

}  // namespace genosieve
