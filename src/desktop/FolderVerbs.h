// Mirrors the folder verbs of the classes root (every "Folder\shell\VERB" whose "command"
// subkey has a default value) into desktop entries, so that file managers offer them on
// folders: the nearest Linux has to the Windows shell reading those keys.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/DesktopEntry.h"
#include "desktop/RegistryTree.h"

// The desktop entry file that stands for `verb` in `applications`:
// "brimwell-verb-VERB.desktop", with bytes outside [A-Za-z0-9-] written as _XX (hex).
std::filesystem::path FolderVerbEntryFile(const std::filesystem::path& applications,
                                          std::string_view verb);

// A verb's command as Exec arguments. The placeholder %1 (normally in double quotes)
// becomes the field code %f. Before it stands the program: the text inside leading double
// quotes (followed by any further words), or else the whole text up to the placeholder,
// blanks included, because the command names the program file without quotes. Words
// after the placeholder follow it. Without a placeholder the folder is not passed.
std::vector<ExecArgument> VerbCommandToExec(std::string_view command);

// Writes one entry per verb with a command into `applications` and deletes entries of
// verbs that no longer have one. Failures are ignored; the next change tries again.
void ReflectFolderVerbs(const RegistryTree& classes, const std::filesystem::path& applications);
