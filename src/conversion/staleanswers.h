#pragma once

#include <memory>

// Answers that come back long after they were asked for: from the folder
// work, which a share that hangs may hold for minutes, or from the user. What
// asks takes a ticket, and acts on the answer only while its ticket is still
// current. A stop makes every ticket out so far stale at once; a piece of work
// that a newer one of its kind replaces drops its own ticket alone.
//
// Tickets are issued, dropped and asked about on their issuer's thread; a
// copy may pass through another thread untouched.
class StaleAnswers {
public:
    class Ticket {
    public:
        // Stands for nothing: never current.
        Ticket() = default;
        bool isCurrent() const;
        // This ticket and its copies go stale; the others stay as they are.
        void drop();

    private:
        friend class StaleAnswers;
        // Shared with every ticket issued since the last makeAllStale().
        std::shared_ptr<const bool> m_round;
        std::shared_ptr<bool> m_own;
    };

    StaleAnswers();

    Ticket issue();
    void makeAllStale();

private:
    std::shared_ptr<bool> m_round;
};
