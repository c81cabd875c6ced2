#pragma once
// Message boxes. Main thread only; each call blocks until the user answers.
// When no box can be shown at all (no display), the caption and text go to
// standard error, an OK box counts as answered and a question as "No", so a
// program without a display still ends in an orderly way.

namespace platform {

enum class BoxIcon { Exclamation, Stop, Information };
enum class BoxAnswer { Ok, Yes, No };

// A box with one OK button (Return and Escape both press it).
void MessageBoxOk(const char* text, const char* caption, BoxIcon icon);

// A box with Yes (the Return default) and No (the Escape default).
BoxAnswer MessageBoxYesNo(const char* text, const char* caption, BoxIcon icon);

}  // namespace platform
