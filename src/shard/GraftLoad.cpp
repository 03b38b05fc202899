// The graft written on a thread into a pipe, and loaded from it.
#include "shard/GraftLoad.h"

#include <thread>

#include "fs/FileSystem.h"
#include "scanfile/ExportItemWriter.h"
#include "shard/Graft.h"

std::optional<std::string> LoadGraft(ScanFileReader& reader, const std::vector<std::string>& files,
                                     const std::function<bool()>& stop) {
    Graft graft(files, stop);
    if (std::optional<std::string> problem = graft.Open())
        return problem;
    std::optional<PipeEnds> pipe = MakePipe();
    if (!pipe)
        return std::string("no pipe for the graft: the process has no file descriptors left");
    std::optional<std::string> written;
    std::thread writer([&graft, &pipe, &written] {
        ScanFileOutput output;
        const bool opened = output.Open(DescriptorPath(pipe->write.Get()));
        pipe->write.Reset();  // the output holds its own: the reader sees the end when it closes
        if (!opened) {
            written = "the graft's pipe: " + output.Failure();
            return;
        }
        ExportItemWriter out(output, GraftProgram(graft, "brimwell", ""));
        written = graft.Write(out);
        if (!written && !output.Finish())
            written = "the graft's pipe: " + output.Failure();
    });
    std::optional<ScanFileError> read = reader.Load(DescriptorPath(pipe->read.Get()), stop);
    DrainDescriptor(pipe->read.Get());  // a reader that stopped early leaves the writer waiting
    writer.join();
    // Read from a pipe: the graft is named by its files from now on.
    reader.NameFile(GraftName(files));
    if (written)
        return written;
    if (read)
        return GraftName(files) + ": " + read->what;
    return std::nullopt;
}
