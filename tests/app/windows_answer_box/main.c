/* Answers the message boxes of another program under the same Wine prefix,
 * as a person would: waits (at most a minute) for a dialog box with the
 * caption given, reads it for two and a half seconds (long enough for a
 * program's one-second timers to fire behind it), then writes the text of
 * every box with that caption on standard output, a line each, and presses
 * their OK buttons. Exit code 0 when it did, 1 when no such box came. Under
 * Wine's null display driver nobody else could: a box would wait for ever. */
#include <windows.h>

#include <stdio.h>

static const char* gCaption;

/* A box's text is its one static control with a text (the icon is one
 * without). */
static BOOL CALLBACK TakeText(HWND child, LPARAM text) {
  char className[16];
  if (GetClassNameA(child, className, sizeof className) && lstrcmpiA(className, "Static") == 0 &&
      GetWindowTextA(child, (char*)text, 1024) > 0)
    return FALSE;
  return TRUE;
}

static BOOL CALLBACK Answer(HWND window, LPARAM answered) {
  char className[16], caption[256];
  if (GetClassNameA(window, className, sizeof className) && lstrcmpA(className, "#32770") == 0 &&
      GetWindowTextA(window, caption, sizeof caption) >= 0 && lstrcmpA(caption, gCaption) == 0) {
    char text[1024] = "";
    EnumChildWindows(window, TakeText, (LPARAM)text);
    printf("%s\n", text);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    ++*(int*)answered;
  }
  return TRUE;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: windows-answer-box CAPTION\n");
    return 2;
  }
  gCaption = argv[1];
  for (int i = 0; i < 600; ++i) {
    if (FindWindowA("#32770", gCaption)) {
      Sleep(2500);
      int answered = 0;
      EnumWindows(Answer, (LPARAM)&answered);
      fflush(stdout);
      return 0;
    }
    Sleep(100);
  }
  return 1;
}
