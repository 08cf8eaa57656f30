#include "staleanswers.h"

bool StaleAnswers::Ticket::isCurrent() const {
    return m_round && *m_round && *m_own;
}

void StaleAnswers::Ticket::drop() {
    if (m_own)
        *m_own = false;
}

StaleAnswers::StaleAnswers() : m_round(std::make_shared<bool>(true)) {}

StaleAnswers::Ticket StaleAnswers::issue() {
    Ticket ticket;
    ticket.m_round = m_round;
    ticket.m_own = std::make_shared<bool>(true);
    return ticket;
}

void StaleAnswers::makeAllStale() {
    // The tickets out so far keep the old round, which never counts again.
    *m_round = false;
    m_round = std::make_shared<bool>(true);
}
