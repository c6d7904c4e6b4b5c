/* Holds a file open as a virus scanner or another program may, for the
 * end-to-end runs under Wine: read access, shared for reading only, so that
 * the file can be neither written, nor renamed, nor deleted meanwhile.
 *
 *   hold-file <file> <held> <until> <ms>
 *
 * Opens <file>, creates the file <held> (the runner gives a program's output
 * back only when it ends), waits until the file <until> exists (at most
 * 60 s), then <ms> milliseconds more, and closes it. Exit code 0, or 1 when
 * <file> cannot be opened or <held> created. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 5) {
    fputs("usage: hold-file <file> <held> <until> <ms>\n", stderr);
    return 2;
  }
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "hold-file: cannot open %s (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  HANDLE held = CreateFileA(argv[2], GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
  if (held == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "hold-file: cannot create %s (error %lu)\n", argv[2], GetLastError());
    return 1;
  }
  CloseHandle(held);
  for (int waited = 0; GetFileAttributesA(argv[3]) == INVALID_FILE_ATTRIBUTES && waited < 60000; waited += 10)
    Sleep(10);
  Sleep((DWORD)atoi(argv[4]));
  CloseHandle(file);
  return 0;
}
