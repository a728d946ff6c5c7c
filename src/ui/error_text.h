#pragma once

// What an error box says of the error that ended a Run.

#include <QString>
#include <exception>

// The error's message, after the file it is about (its full path): the system's messages
// are bare.
QString ErrorText(const std::exception_ptr& failure);

// Whether the Run ended because its user asked it to stop.
bool IsStop(const std::exception_ptr& failure);
