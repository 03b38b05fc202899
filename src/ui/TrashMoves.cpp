// Running moves to the trash off the user-interface thread.
#include "ui/TrashMoves.h"

#include <system_error>
#include <thread>
#include <utility>

#include "desktop/PlatformPaths.h"

TrashMoves::Mover TrashMoves::Freedesktop(std::optional<std::filesystem::path> dataHome) {
    FreedesktopTrash trash(dataHome ? *dataHome : PlatformPaths::Defaults().dataHome);
    return [trash](const std::string& path, std::uint64_t folderSizeOnDisk) {
        return trash.Move(path, folderSizeOnDisk);
    };
}

TrashMoves::TrashMoves(Mover mover, QObject* parent) : QObject(parent), mover_(std::move(mover)) {
    poll_.setInterval(5);
    connect(&poll_, &QTimer::timeout, this, &TrashMoves::Poll);
}

void TrashMoves::Start(const std::string& path, std::uint64_t folderSizeOnDisk, Done done) {
    auto move = std::make_shared<Move>();
    try {
        std::thread([mover = mover_, move, path, folderSizeOnDisk] {
            TrashOutcome outcome = mover(path, folderSizeOnDisk);
            std::lock_guard lock(move->mutex);
            move->outcome = std::move(outcome);
            move->finished = true;
        }).detach();
    } catch (const std::system_error& error) {
        TrashOutcome failed;
        failed.reason = error.what();
        done(failed);
        return;
    }
    pending_.push_back({std::move(move), std::move(done)});
    poll_.start();
}

void TrashMoves::Poll() {
    std::vector<Waiting> finished;
    for (auto it = pending_.begin(); it != pending_.end();) {
        bool done;
        {
            std::lock_guard lock(it->move->mutex);
            done = it->move->finished;
        }
        if (done) {
            finished.push_back(std::move(*it));
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
    if (pending_.empty())
        poll_.stop();
    for (Waiting& waiting : finished)
        waiting.done(waiting.move->outcome);  // may start another move
}
