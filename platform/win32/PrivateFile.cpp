// CreatePrivateFile on Windows: the new file carries a protected access list
// (nothing inherited from its folder) with one entry, full access for the
// user the process runs as.
#include "platform/PrivateFile.h"

#include <sddl.h>

#include <memory>
#include <string>

namespace {

// The security descriptor language's text of the process user's SID, or
// empty (GetLastError set).
std::string ProcessUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::unique_ptr<BYTE[]> user(new BYTE[size ? size : 1]);
  const BOOL read = GetTokenInformation(token, TokenUser, user.get(), size, &size);
  const DWORD error = GetLastError();
  CloseHandle(token);
  LPSTR text = nullptr;
  if (!read) {
    SetLastError(error);
    return "";
  }
  if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid, &text)) return "";
  std::string sid = text;
  LocalFree(text);
  return sid;
}

}  // namespace

HANDLE CreatePrivateFile(LPCSTR path) {
  const std::string sid = ProcessUserSid();
  if (sid.empty()) return INVALID_HANDLE_VALUE;
  const std::string access = "D:P(A;;FA;;;" + sid + ")";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(access.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
    return INVALID_HANDLE_VALUE;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = GetLastError();
  LocalFree(descriptor);
  SetLastError(error);
  return file;
}
