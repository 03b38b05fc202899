// Several scan files written as one, read as they are written: the graft reads its files in
// step, item by item, and writes each entry once it knows where it goes. A folder held by
// several files is merged: their entries come in name order (shards are written so, other
// files are loaded and sorted), so the graft compares the next name of each and never looks
// further ahead. Memory is one item per file and one level per folder being merged,
// whatever the size of the tree.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scanfile/ExportItemWriter.h"
#include "shard/GraftLayout.h"

// The files as messages name their graft: "a + b + c", or "a + b + 62 more".
std::string GraftName(const std::vector<std::string>& files);

class Graft {
  public:
    // stop is asked as the files are read; when it answers true, the graft fails.
    explicit Graft(std::vector<std::string> files, std::function<bool()> stop = {});
    ~Graft();
    Graft(const Graft&) = delete;
    Graft& operator=(const Graft&) = delete;

    // Opens the files and works out where each goes. The text of the first problem (running
    // out of memory included), or nothing.
    std::optional<std::string> Open();
    // What the grafted file's metadata says, once the files are open: the time of the
    // earliest scan (a graft is as old as its oldest part), and the options when every file
    // names the same ones; nothing that not all files say.
    ExportMetadata Metadata();
    // The path the grafted tree's top folder is written with.
    const std::string& TopPath() const { return layout_.TopPath(); }
    // Writes the grafted tree, once. Two files that hold the same entry are a problem that
    // names both and the entry's path; so is a file that cannot be read to its end, and
    // running out of memory.
    std::optional<std::string> Write(ExportItemWriter& out);

  private:
    struct Frame;

    std::string NoMemory() const;
    std::optional<std::string> WriteTree(ExportItemWriter& out);

    bool OpenFolder(std::uint32_t place, std::vector<ExportItemSource*> sources, std::string name,
                    bool fromGroup);
    bool Step(Frame& frame);
    bool StepPlaces(Frame& frame);
    bool CloseFolder();
    bool YieldExcluded(std::vector<ExportItemSource*>& holders, const Frame& frame,
                       const std::string& name);
    bool Copy(ExportItemSource& source, const Frame& frame);
    bool Advance(ExportItemSource& source, const Frame& frame, const std::string& taken);
    std::string Fields(const ExportItem& item, std::uint64_t device) const;
    bool Both(const std::string& first, const std::string& second, const std::string& path);
    bool Failed(const ExportItemSource& source);

    std::vector<std::string> files_;
    std::function<bool()> stop_;
    GraftLayout layout_;
    ExportItemWriter* out_ = nullptr;
    std::vector<Frame> frames_;
    std::optional<std::string> problem_;
};

// The header of the graft's file written by program name, version: the graft's time and
// options (Graft::Metadata), once it is open.
ScanFileWriter::Program GraftProgram(Graft& graft, std::string name, std::string version);
