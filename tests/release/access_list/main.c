/* Reads and sets a file's access list through the Windows API, for the tests
 * of the vendor's tool under Wine:
 *
 *   access-list show <path>   prints "user <SID>" (the user the process runs
 *                             as), then one line per entry of the path's
 *                             access list: "allow <SID> <mask>" or
 *                             "deny <SID> <mask>", the mask in hexadecimal
 *   access-list deny <path>   gives the path a protected access list (nothing
 *                             inherited) that denies the user the process
 *                             runs as all access, to a folder's contents too
 *
 * Exit code 0, or 1 with the failing call and its error number on stderr. */
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <stdio.h>
#include <string.h>

static int Fail(const char* call, DWORD error) {
  fprintf(stderr, "access-list: %s failed with error %lu\n", call, (unsigned long)error);
  return 1;
}

/* The SID text of the process user into text (at most size bytes). */
static int ProcessUser(char* text, size_t size) {
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return Fail("OpenProcessToken", GetLastError());
  union {
    TOKEN_USER user;
    BYTE bytes[256];
  } buffer;
  DWORD length = 0;
  BOOL read = GetTokenInformation(token, TokenUser, &buffer, sizeof buffer, &length);
  DWORD error = GetLastError();
  CloseHandle(token);
  if (!read) return Fail("GetTokenInformation", error);
  LPSTR sid = NULL;
  if (!ConvertSidToStringSidA(buffer.user.User.Sid, &sid)) return Fail("ConvertSidToStringSidA", GetLastError());
  snprintf(text, size, "%s", sid);
  LocalFree(sid);
  return 0;
}

static int Show(const char* path) {
  char user[200];
  if (ProcessUser(user, sizeof user)) return 1;
  printf("user %s\n", user);
  PACL list = NULL;
  PSECURITY_DESCRIPTOR descriptor = NULL;
  DWORD error = GetNamedSecurityInfoA(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, NULL, NULL, &list, NULL,
                                      &descriptor);
  if (error != ERROR_SUCCESS) return Fail("GetNamedSecurityInfoA", error);
  for (DWORD i = 0; list && i < list->AceCount; ++i) {
    ACE_HEADER* header;
    if (!GetAce(list, i, (void**)&header)) return Fail("GetAce", GetLastError());
    /* Allowed and denied entries share their layout: header, mask, SID. */
    const char* kind = header->AceType == ACCESS_ALLOWED_ACE_TYPE  ? "allow"
                       : header->AceType == ACCESS_DENIED_ACE_TYPE ? "deny"
                                                                   : NULL;
    if (!kind) {
      printf("other-entry %u\n", header->AceType);
      continue;
    }
    ACCESS_ALLOWED_ACE* entry = (ACCESS_ALLOWED_ACE*)header;
    LPSTR sid = NULL;
    if (!ConvertSidToStringSidA(&entry->SidStart, &sid)) return Fail("ConvertSidToStringSidA", GetLastError());
    printf("%s %s %08lx\n", kind, sid, (unsigned long)entry->Mask);
    LocalFree(sid);
  }
  LocalFree(descriptor);
  return 0;
}

static int Deny(const char* path) {
  char user[200];
  if (ProcessUser(user, sizeof user)) return 1;
  char text[300];
  snprintf(text, sizeof text, "D:P(D;OICI;FA;;;%s)", user);
  PSECURITY_DESCRIPTOR descriptor = NULL;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(text, SDDL_REVISION_1, &descriptor, NULL))
    return Fail("ConvertStringSecurityDescriptorToSecurityDescriptorA", GetLastError());
  BOOL present = FALSE, defaulted = FALSE;
  PACL list = NULL;
  GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted);
  DWORD error = SetNamedSecurityInfoA((LPSTR)path, SE_FILE_OBJECT,
                                      DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, NULL, NULL,
                                      list, NULL);
  LocalFree(descriptor);
  return error == ERROR_SUCCESS ? 0 : Fail("SetNamedSecurityInfoA", error);
}

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "show") == 0) return Show(argv[2]);
  if (argc == 3 && strcmp(argv[1], "deny") == 0) return Deny(argv[2]);
  fputs("usage: access-list show|deny <path>\n", stderr);
  return 2;
}
