// Small file-system and terminal queries for the programs' start.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "fs/FileDescriptor.h"

// Why path cannot be scanned as a folder ("No such file or directory", "Not a directory",
// "Permission denied", ...), or nothing when it is a folder this process can open.
std::optional<std::string> FolderProblem(const std::string& path);

// Whether the standard error stream is a terminal.
bool StandardErrorIsTerminal();
// Whether the standard output stream is a terminal.
bool StandardOutputIsTerminal();

// Grows this process's table of descriptors so that it holds `count` of them now, while
// the process has one thread: the kernel grows the table of a process with several threads
// only after every processor has passed a quiescent point, which stalls the opening thread
// for milliseconds each time the read-ahead crosses 64, 128 or 256 descriptors.
void ReserveDescriptorTable(int count = 1024);

// The device number of the file system that holds folder path; nothing when it cannot be
// looked at.
std::optional<std::uint64_t> FolderDevice(const std::string& path);

// Both ends of a pipe, closed on exec; nothing when the system has no descriptors left.
struct PipeEnds {
    FileDescriptor read;
    FileDescriptor write;
};
std::optional<PipeEnds> MakePipe();
// A name that opens the file or pipe that fd refers to ("/dev/fd/N").
std::string DescriptorPath(int fd);
// Reads fd to its end and throws the bytes away: a writer on the other end of a pipe whose
// reader gave up finishes instead of waiting for room.
void DrainDescriptor(int fd);
