// Helpers for the window tests: generated folder trees, a reference scan without a window,
// a printable form of a whole item store, a folder source a test can hold still, and an
// environment variable set for one test.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "TempDir.h"
#include "fs/DirectoryReader.h"
#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"
#include "tree/ItemStore.h"

namespace test {

// Fills dir/name with a deterministic tree: `breadth` sub-folders per folder down to
// `depth` levels, and in every folder a few files of different sizes. Files grow with the
// length of their path, so the odd sub-folders, named with an "x", come first by size.
inline void MakeTree(const TempDir& dir, const std::string& name, int breadth, int depth) {
    dir.MakeFolder(name);
    for (int file = 0; file < 3; ++file)
        dir.MakeFile(name + "/file" + std::to_string(file), 100 * file + name.size());
    if (depth == 0)
        return;
    for (int folder = 0; folder < breadth; ++folder) {
        MakeTree(dir, name + "/sub" + std::to_string(folder) + (folder % 2 ? "x" : ""), breadth,
                 depth - 1);
    }
}

// Every item of the store, depth first, with its label, record, expansion and selection;
// with root, only that top-level item and what lies below it.
inline std::string Dump(const ItemStore& store, const ItemNode* root = nullptr) {
    std::ostringstream out;
    auto dump = [&](auto& self, const ItemNode& node, int depth) -> void {
        for (const ItemNode& child : node.Children()) {
            if (depth == 0 && root && &child != root)
                continue;
            out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << child.Text();
            if (std::optional<FolderRecord> r = child.Record()) {
                out << " | " << r->path << " | " << r->name << " | " << r->totalBytes << " "
                    << r->filesBytes << " " << r->folderCount << " " << r->fileCount << " "
                    << r->isFilesEntry << r->complete;
            }
            out << (child.Expanded() ? " +" : "") << (store.Selection() == child.Id() ? " *" : "")
                << "\n";
            self(self, child, depth + 1);
        }
    };
    dump(dump, store.Top(), 0);
    return out.str();
}

// The store a scan of root leaves without a window: the operations applied at once.
inline std::string ReferenceScan(const std::string& root) {
    ItemStore store;
    DirectoryReader reader;
    ScanContext context{reader};
    FolderTree::ScanRoot(store, root, context);
    return Dump(store);
}

// Lists folders from the disk, but holds every listing back while the gate is closed, so a
// test can look at a scan in the middle. Opens by itself after a minute, so that a failed
// test cannot hang.
class Gate {
  public:
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void Pass() {
        std::unique_lock lock(mutex_);
        ++waiting_;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::minutes(1), [this] { return open_; });
        --waiting_;
    }
    // Whether a scan is held at the gate now, and how many are.
    bool HasWaiter() { return Waiters() > 0; }
    int Waiters() {
        std::lock_guard lock(mutex_);
        return waiting_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int waiting_ = 0;
};

class GatedSource : public DirectoryReader {
  public:
    // Listings pass at once until `free` listings have been made, then wait at gate; with
    // `first`, the very first listing waits there before that.
    GatedSource(Gate& gate, int free, Gate* first = nullptr)
        : gate_(gate), first_(first), free_(free) {}
    bool List(FolderListing& out) override {
        if (first_ && listed_ == 0)
            first_->Pass();
        if (listed_++ >= free_)
            gate_.Pass();
        return DirectoryReader::List(out);
    }

  private:
    Gate& gate_;
    Gate* first_;
    int free_;
    int listed_ = 0;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnvironment() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

// Spins without processing events until condition holds or thirty seconds pass.
template <class Condition>
bool SpinUntil(Condition condition) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace test
