// Reading several scan files grafted into one, as a scan file is read: the graft is written
// into a pipe on a thread of its own while the reader loads the other end, so the report and
// the window read a graft through the same reader, rules and scan as one file.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scanfile/ScanFileReader.h"

// Loads the graft of files into reader (ScanFileReader::Load for several files), whose
// MemoryError then names the graft (GraftName). stop as for Load. The text of the first
// problem, or nothing.
std::optional<std::string> LoadGraft(ScanFileReader& reader, const std::vector<std::string>& files,
                                     const std::function<bool()>& stop = {});
