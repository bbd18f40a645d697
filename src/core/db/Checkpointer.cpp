#include "core/db/Checkpointer.h"

#include "core/db/Database.h"

#include <chrono>
#include <future>

namespace selvo::db {

Checkpointer::Checkpointer(Database& db, int intervalMs) : m_db(db) {
    if (!db.isOpen() || db.engine() != Engine::Sqlite || db.config().readOnly)
        return;
    const ConnectionConfig config = db.config();
    std::promise<bool> opened;
    std::future<bool> ready = opened.get_future();
    m_thread = std::thread([this, config, intervalMs, &opened] {
        Database own;
        const bool open = own.open(config);
        opened.set_value(open);
        if (!open)
            return;
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            m_wake.wait_for(lock, std::chrono::milliseconds(intervalMs), [this] { return m_stop; });
            if (m_stop)
                break;
            lock.unlock();
            // Passive: copies what no reader still needs and never waits for a writer.
            const bool done = own.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
            lock.lock();
            if (done)
                ++m_rounds;
        }
        lock.unlock();
        own.close();
    });
    // Only once the other connection is there does the program's own leave the log to it.
    if (!ready.get() || !db.exec(QStringLiteral("PRAGMA wal_autocheckpoint=0"))) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
}

Checkpointer::~Checkpointer() {
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    // SQLite's own limit again (1000 pages), for whatever the connection still writes.
    if (m_db.isOpen())
        m_db.exec(QStringLiteral("PRAGMA wal_autocheckpoint=1000"));
}

int Checkpointer::rounds() const {
    std::lock_guard lock(m_mutex);
    return m_rounds;
}

} // namespace selvo::db
