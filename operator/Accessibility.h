// Names a screen reader says for the main window's controls, all through the
// message lookup: what each control is, each lamp's state, the live value,
// the connection. The texts are looked up when the language changes; a poll
// or a lamp only puts them together.
#pragma once

#include <functional>

class QObject;
class QString;
class TMainF;

// "Output 1: on" / "Output 1: off"; output counts from 1.
QString lampStateText(int output, bool on);

// Looks the texts up anew and sets the accessible names of the controls whose
// captions do not say what they are, and of the lamps and the live value from
// what they show now.
void nameMainWindowControls(TMainF &window);
// After lamp `output` (1 to 3) changed: that lamp's name, and no other.
void nameLamp(TMainF &window, int output);
// After the live value changed.
void nameLiveValue(TMainF &window);
// Called with every name set, as each is announced to a screen reader (Qt
// passes such events on only to a running one); for tests.
void setAccessibleNameObserver(std::function<void(QObject *, const QString &)> observer);

// "Connection: " before the state's text.
QString connectionAccessibleName(const QString &stateText);

// Accessible interfaces of our own, installed once per process:
// - a drop-down list is named by its accessible name (what it is: "Output 1
//   configuration") and tells its selected item as its value; Qt's own names
//   it by the selected item on Linux;
// - the poll mark "*" is named "Poll in progress" only while a poll runs and
//   is hidden from screen readers otherwise.
// Installed ahead of Qt's own (so after the application object is made), and
// taking over from any interface Qt made for the window's controls before.
void installAccessibleInterfaces(TMainF &window);
