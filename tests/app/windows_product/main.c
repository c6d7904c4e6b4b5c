/* A stand-in for the product in the end-to-end runs under Wine: a Windows
 * GUI program that writes product-started.txt in its working folder with two
 * lines, that folder and the tag the test appended to the program file
 * after its last byte (the system loader ignores what follows the image):
 * "served" or "installed", so the test knows which copy ran. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

static void ReadTag(char* tag, size_t size) {
  char self[MAX_PATH];
  DWORD length = GetModuleFileNameA(NULL, self, sizeof self);
  tag[0] = '\0';
  if (length == 0 || length >= sizeof self) return;
  FILE* file = fopen(self, "rb");
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
  char folder[MAX_PATH];
  DWORD length = GetCurrentDirectoryA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder) return 1;
  char tag[64];
  ReadTag(tag, sizeof tag);
  /* Written under another name and renamed, so that the test never reads half. */
  FILE* file = fopen("product-started.tmp", "wb");
  if (!file) return 1;
  fprintf(file, "%s\n%s\n", folder, tag);
  fclose(file);
  return MoveFileExA("product-started.tmp", "product-started.txt", MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
