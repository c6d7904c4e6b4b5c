/* Holds a file open as a virus scanner or another program may, for the
 * end-to-end runs under Wine: read access, shared for reading only, so that
 * the file can be neither written, nor renamed, nor deleted meanwhile.
 *
 *   hold-file <file> <until> <ms>
 *
 * Opens <file>, says "held" on its standard output, waits until the file
 * <until> exists (at most 60 s), then <ms> milliseconds more, and closes
 * it. Exit code 0, or 1 when <file> cannot be opened. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 4) {
    fputs("usage: hold-file <file> <until> <ms>\n", stderr);
    return 2;
  }
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "hold-file: cannot open %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  puts("held");
  fflush(stdout);
  for (int waited = 0; GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES && waited < 60000; waited += 10)
    Sleep(10);
  Sleep((DWORD)atoi(argv[3]));
  CloseHandle(file);
  return 0;
}
