#pragma once

class QString;
class QWidget;

namespace timers {

// A control that only draws (the stopwatch's colons): screen readers get no name, no text and
// no visible object for it. Called before the control is first shown.
void silenceForScreenReaders(QWidget* control);
inline constexpr char kSilentForScreenReaders[] = "timersSilentForScreenReaders";

// What screen readers hear that Qt would not give: `applicationName` as the application's name
// (Qt gives the X11 class, "org.vorn.Timers"), and nothing for the silent controls.
void installSpokenNames(const QString& applicationName);

} // namespace timers
