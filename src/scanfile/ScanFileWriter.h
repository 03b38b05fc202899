// Writing a scan file while the scan runs: a folder source in front of the one the scan
// reads, which sees every folder entered, listed and left in the scan's order and writes
// ncdu's JSON export format (version 1.2) as it goes. Memory holds the listings of the
// folders on the current path, whatever the size of the file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fs/FolderSource.h"
#include "fs/ScanRules.h"
#include "scanfile/ScanFileStreams.h"

class ScanFileWriter : public FolderSource {
  public:
    // What the file says wrote it ("progname", "progver").
    struct Program {
        std::string name;
        std::string version;
        // More members of the metadata object, as JSON text beginning with ',' (the scan's
        // options, a shard's mark).
        std::string metadata;
        // When the scan was made, for a file written after it (a graft); the time of writing
        // when not given.
        std::optional<std::uint64_t> timestamp;
    };

    // The scan's rules as a member of the metadata object, so that a comparison with the file
    // can tell whether they differ from its own: ,"brimwell":{"hidden":…,"onefs":…,
    // "everylink":…,"exclude":[…]}. ncdu and gdu pass over keys they do not know.
    static std::string OptionsMetadata(const ScanRules& rules);

    // Lists through inner and writes to out, which must be open and outlive the writer; the
    // caller finishes out after the scan. The top folder is written with its full path.
    ScanFileWriter(FolderSource& inner, ScanFileOutput& out, Program program);

    void EnterRoot(const std::string& path) override;
    void Enter(std::string_view name) override;
    void Leave() override;
    bool List(FolderListing& out) override;

  private:
    struct Level {
        std::string name;
        std::unique_ptr<FolderListing> listing;  // null until listed, or when it failed
        std::size_t next = 0;                    // the next entry to write
        bool opened = false;                     // its array and info object are written
        std::uint64_t device = 0;                // its own, or its parent's; 0: not known
    };

    // Writes level's array and info object: its name; device, when not 0, as "dev" (a folder's
    // device is written where it differs from its parent's, as ncdu writes it); its own blocks,
    // when known, as "dsize"; why it is not listed.
    void Open(Level& level, ListOutcome outcome, std::uint64_t device = 0,
              std::uint64_t sizeOnDisk = 0);
    // Writes level's entries from its next one up to the sub-folder named until (all of them
    // when until is null), which the scan enters and which is written when it is left.
    void WriteEntries(Level& level, const std::string_view* until);
    void WriteEntry(const FolderListing& listing, const FolderEntry& entry);
    void Flush();

    FolderSource& inner_;
    ScanFileOutput& out_;
    Program program_;
    std::vector<Level> levels_;
    std::vector<std::unique_ptr<FolderListing>> spare_;
    std::string text_;  // what is being written, handed to out_ in large pieces
};
