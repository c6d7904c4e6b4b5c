// The main window's stored settings of its two widgets: the progress bar
// X_Progressivo and the status bar Help_Stato. The window's stored-form
// code applies them (inside its loading bracket); the widget tests paint
// with exactly these settings.
#pragma once

class TFxProgressFill;
class TFxStatusBar;

// 0, 214; 592 x 20, aligned to the bottom; lowered one-pixel custom bevel; a
// horizontal gradient of 236 colours from blue to black; the percentage as
// text; Step 1; Position 0. Colour and font stay the parent's.
void ApplyMainWindowSettings(TFxProgressFill& bar);

// 0, 234; 592 x 22, aligned to the bottom; no size grip; new style; control
// gap 3; custom bevel without styles; bar font "Tahoma" -12 bold black; one
// text panel (centre-left, no frame, Size 0, "Tahoma" -13 bold navy, id 2).
void ApplyMainWindowSettings(TFxStatusBar& bar);
