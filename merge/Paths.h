// Paths as the output and the batch take them apart and compare them.
#pragma once

#include <string>
#include <vector>

#include "merge/Os.h"

namespace merge {

// The folder beside a model that "Output in DFF Folder" writes into.
inline constexpr char OutputFolder[] = "dff";

// The output path for a day model: itself, or its name in the "dff" folder
// beside it.
std::string OutputPathFor(Os& os, const std::string& day, bool inDffFolder);

// The folder that holds path, without the separator after it unless it is a
// root ("." when path names none).
std::string FolderOf(Os& os, const std::string& path);

// Makes folder, and first the folders above it that are missing; each one
// made is appended to made, the outermost first. The failure to make one.
Status MakeFolders(Os& os, const std::string& folder, std::vector<std::string>* made);

// The text with its ASCII letters lowered, the others as they are.
std::string LowerAscii(std::string text);

// A name as this system compares names: lowered where it ignores case.
std::string ComparedName(Os& os, const std::string& name);

// A text that two full paths give alike exactly when they name the same
// file (through links, or as hard links), or, for a file not made yet, the
// same name in the same folder, also where folders on the way are not made
// yet either.
std::string FileIdentity(Os& os, const std::string& path);

// A text that two full paths give alike exactly when they are the same name
// in the same folder (through links to folders, not to the file: two hard
// links are two names), the name compared as the system compares names.
std::string NameIdentity(Os& os, const std::string& path);

}  // namespace merge
