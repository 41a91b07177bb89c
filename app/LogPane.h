// The log pane: the only place where the program speaks to the user.
#pragma once

// Appends text at the end of MainWindow's log pane, whatever the user has
// selected there; no line break is added.
void AppendLog(const char* text);
