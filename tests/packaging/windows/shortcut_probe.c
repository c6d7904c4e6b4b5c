/* Reads shortcuts back as the shell does, through IShellLink: for each .lnk
 * file named on the command line it prints two lines in UTF-8, the target's
 * path and the working folder. Exit code 1 when a shortcut cannot be read. */
#define COBJMACROS
#include <windows.h>
#include <shlobj.h>

#include <stdio.h>

static void PrintLine(const wchar_t* text) {
  char line[4 * MAX_PATH];
  if (!WideCharToMultiByte(CP_UTF8, 0, text, -1, line, sizeof line, NULL, NULL)) line[0] = '\0';
  printf("%s\n", line);
}

int wmain(int argc, wchar_t** argv) {
  if (FAILED(CoInitialize(NULL))) return 1;
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    IShellLinkW* link = NULL;
    IPersistFile* file = NULL;
    wchar_t target[MAX_PATH] = L"", folder[MAX_PATH] = L"";
    if (FAILED(CoCreateInstance(&CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, &IID_IShellLinkW, (void**)&link)) ||
        FAILED(IShellLinkW_QueryInterface(link, &IID_IPersistFile, (void**)&file)) ||
        FAILED(IPersistFile_Load(file, argv[i], STGM_READ)) ||
        FAILED(IShellLinkW_GetPath(link, target, MAX_PATH, NULL, SLGP_RAWPATH)) ||
        FAILED(IShellLinkW_GetWorkingDirectory(link, folder, MAX_PATH))) {
      fprintf(stderr, "cannot read the shortcut %ls\n", argv[i]);
      status = 1;
    }
    PrintLine(target);
    PrintLine(folder);
    if (file) IPersistFile_Release(file);
    if (link) IShellLinkW_Release(link);
  }
  CoUninitialize();
  return status;
}
