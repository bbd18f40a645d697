#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace selvo::db {

class Database;

// SQLite writes each commit to its write-ahead log; now and then the log is copied back into the
// database file (a checkpoint). By default the connection does this itself, at the end of
// whichever commit passed the log's limit, and that sale waits for it. While a Checkpointer
// lives, the copy is made every `intervalMs` on a connection of its own instead, without waiting
// for anyone (a passive checkpoint), and the program's connection no longer makes it. Every
// commit stays as durable as before. Nothing happens on PostgreSQL.
class Checkpointer final {
public:
    explicit Checkpointer(Database& db, int intervalMs = 1000);
    // Stops the copying and hands it back to the program's connection.
    ~Checkpointer();
    Checkpointer(const Checkpointer&) = delete;
    Checkpointer& operator=(const Checkpointer&) = delete;

    bool running() const { return m_thread.joinable(); }
    // Checkpoints made so far (for the tests).
    int rounds() const;

private:
    Database& m_db;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    int m_rounds = 0;
};

} // namespace selvo::db
