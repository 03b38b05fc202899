// Moves to the trash, each on a thread of its own so that the window answers at once, their
// outcomes handed back on the user-interface thread (a timer polls the finished ones). A move
// still running when its owner goes ends on its own: nothing waits for a file system that
// does not answer.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "desktop/FreedesktopTrash.h"

class TrashMoves : public QObject {
    Q_OBJECT

  public:
    // Moves path to the trash; called on the move's thread.
    using Mover =
        std::function<TrashOutcome(const std::string& path, std::uint64_t folderSizeOnDisk)>;
    // Told the outcome on the user-interface thread.
    using Done = std::function<void(const TrashOutcome& outcome)>;

    // The freedesktop trash of this user, its home trash in dataHome (default: the user's
    // data folder).
    static Mover Freedesktop(std::optional<std::filesystem::path> dataHome);

    explicit TrashMoves(Mover mover, QObject* parent = nullptr);

    void Start(const std::string& path, std::uint64_t folderSizeOnDisk, Done done);
    // Moves whose outcomes have not been handed back yet.
    std::size_t Pending() const { return pending_.size(); }

  private:
    struct Move {
        std::mutex mutex;
        bool finished = false;
        TrashOutcome outcome;
    };
    struct Waiting {
        std::shared_ptr<Move> move;
        Done done;
    };

    void Poll();

    Mover mover_;
    std::vector<Waiting> pending_;
    QTimer poll_;
};
