/* Answers a message box of another program under the same Wine prefix, as a
 * person would: waits (at most a minute) for a dialog box with the caption
 * given, writes its text on standard output and presses its OK button.
 * Exit code 0 when it did, 1 when no such box came. Under Wine's null
 * display driver nobody else could: the box would wait for ever. */
#include <windows.h>

#include <stdio.h>

/* The box's text is its one static control with a text (the icon is one
 * without). */
static BOOL CALLBACK TakeText(HWND child, LPARAM text) {
  char className[16];
  if (GetClassNameA(child, className, sizeof className) && lstrcmpiA(className, "Static") == 0 &&
      GetWindowTextA(child, (char*)text, 1024) > 0)
    return FALSE;
  return TRUE;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: windows-answer-box CAPTION\n");
    return 2;
  }
  for (int i = 0; i < 600; ++i) {
    HWND box = FindWindowA("#32770", argv[1]);
    if (box) {
      char text[1024] = "";
      EnumChildWindows(box, TakeText, (LPARAM)text);
      printf("%s\n", text);
      fflush(stdout);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return 0;
    }
    Sleep(100);
  }
  return 1;
}
