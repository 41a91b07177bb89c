// The entry of every file dropped on MainWindow.
#pragma once

#include <windows.h>

#include "merge/DropSequence.h"

// What lives from one drop to the next.
extern merge::DropSequence Sequence;

// Takes the whole path of the drop's first file (the others are ignored),
// releases the drop, and runs the sequence's next stage on that file.
void HandleDrop(HDROP drop);
