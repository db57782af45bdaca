// Names a screen reader says for the main window's controls, all through the
// message lookup: what each control is, each lamp's state, the live value.
#pragma once

class TMainF;
class QString;

// "Output 1: on" / "Output 1: off"; output counts from 1.
QString lampStateText(int output, bool on);

// Sets the accessible names of the controls whose captions do not say what
// they are, and of the lamps and the live value from what they show now.
void nameMainWindowControls(TMainF &window);
// After a lamp or the live value changed.
void nameLamps(TMainF &window);
void nameLiveValue(TMainF &window);
