#include "app/InstallFile.h"

#include "classlib/Classes.h"
#include "platform/Win32.h"

void PutInPlace(const std::string& partial, const std::string& local) {
  if (RenameFileReplacing(partial, local)) return;
  const std::string reason = SysErrorMessage(GetLastError());
  DeleteFile(partial);
  throw EFCreateError("Cannot replace \"" + local + "\". " + reason);
}
