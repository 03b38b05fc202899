// The texts the detail panel draws and the plain-text report of the selected folder.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "tree/FolderRecord.h"

class ItemStore;

namespace ReportText {

// "PATH   ( 1.50 M , Folders : 3 , Files : 12 ) " in the current unit.
std::string HeaderText(const FolderRecord& record);
// "NAME ( 0.25 M ) " in the current unit.
std::string ChildText(const FolderRecord& record);
std::string ChildText(std::string_view name, std::uint64_t totalBytes);
// Characters as UTF-8 decodes them; every byte that is not part of a valid sequence
// counts as one character.
std::size_t Utf8Length(std::string_view text);

// text as a terminal shows it safely: every control character (C0, DEL and C1, also a byte
// 0x80 to 0x9f that is not part of a UTF-8 sequence), which a terminal would obey (set its
// title, clear the screen) or show as a line break, becomes one "?", as ls shows names on a
// terminal. The text keeps its length in characters (Utf8Length).
std::string ForTerminal(std::string_view text);

// Writes the report of the tree's selected item: header line, a rule of 88 hyphens, and one
// line per child with a record, its size and a bar of 0 to 30 asterisks scaled to the
// largest child. Writes nothing when no item with a record is selected. Names are written
// byte for byte, or as ForTerminal shows them when toTerminal is true.
void WriteReport(const ItemStore& tree, std::ostream& out, bool toTerminal = false);

}  // namespace ReportText
