/* A stand-in for the product in the end-to-end runs under Wine: a Windows
 * GUI program that writes product-started.txt in its working folder with two
 * lines, that folder and the tag the test appended to the program file
 * after its last byte (the system loader ignores what follows the image):
 * "served" or "installed", so the test knows which copy ran. The folder is
 * written in UTF-8, read with the Unicode functions like the program file:
 * the ANSI ones would give '?' for a letter of a folder's name that the
 * ANSI code page lacks. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

static void ReadTag(char* tag, size_t size) {
  wchar_t self[MAX_PATH];
  DWORD length = GetModuleFileNameW(NULL, self, MAX_PATH);
  tag[0] = '\0';
  if (length == 0 || length >= MAX_PATH) return;
  FILE* file = _wfopen(self, L"rb");
  if (!file) return;
  char tail[64];
  if (fseek(file, -(long)sizeof tail, SEEK_END) == 0) {
    size_t got = fread(tail, 1, sizeof tail, file);
    /* The tag is the last line: "\n<tag>\n". */
    if (got == sizeof tail && tail[sizeof tail - 1] == '\n') {
      size_t start = sizeof tail - 1;
      while (start > 0 && tail[start - 1] != '\n') --start;
      size_t n = sizeof tail - 1 - start;
      if (n < size) {
        memcpy(tag, tail + start, n);
        tag[n] = '\0';
      }
    }
  }
  fclose(file);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)instance;
  (void)previous;
  (void)commandLine;
  (void)show;
  wchar_t wideFolder[MAX_PATH];
  DWORD length = GetCurrentDirectoryW(MAX_PATH, wideFolder);
  if (length == 0 || length >= MAX_PATH) return 1;
  char folder[4 * MAX_PATH];
  if (!WideCharToMultiByte(CP_UTF8, 0, wideFolder, -1, folder, sizeof folder, NULL, NULL)) return 1;
  char tag[64];
  ReadTag(tag, sizeof tag);
  /* Written under another name and renamed, so that the test never reads half. */
  FILE* file = fopen("product-started.tmp", "wb");
  if (!file) return 1;
  fprintf(file, "%s\n%s\n", folder, tag);
  fclose(file);
  return MoveFileExA("product-started.tmp", "product-started.txt", MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
