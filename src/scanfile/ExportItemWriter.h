// Writing a scan file item by item: a folder with its info, the files in it, its end. The
// graft writes the tree it puts together from several files this way, as it reads them.
#pragma once

#include <string>
#include <string_view>

#include "scanfile/ScanFileStreams.h"
#include "scanfile/ScanFileWriter.h"

class ExportItemWriter {
  public:
    // Writes to out, which must be open and outlive the writer; the caller finishes out after
    // the last EndFolder.
    ExportItemWriter(ScanFileOutput& out, ScanFileWriter::Program program);

    // fields: the other members of the info object as JSON text, each beginning with ','.
    // The first folder is the top one: name is its path.
    void BeginFolder(std::string_view name, std::string_view fields);
    void File(std::string_view name, std::string_view fields);
    void EndFolder();

  private:
    void Info(std::string_view name, std::string_view fields);
    void FlushIfFull();

    ScanFileOutput& out_;
    ScanFileWriter::Program program_;
    std::size_t depth_ = 0;
    bool started_ = false;
    std::string text_;
};
