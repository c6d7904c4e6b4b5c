// How a received file takes the place of the installed one.
#pragma once

#include <string>

// Suffix of the file a download is received in, beside the installed one,
// before it replaces it.
constexpr const char* kPartialSuffix = ".download";

// Puts partial in local's place in one step (RenameFileReplacing). On failure
// removes partial, leaves local as it was and raises EFCreateError
// 'Cannot replace "<local>". <system text>'.
void PutInPlace(const std::string& partial, const std::string& local);
