#include "foldergonereply.h"

#include <utility>

class FolderGoneReply::Question {
public:
    explicit Question(std::function<void(bool)> answered) : m_answered(std::move(answered)) {}
    Question(const Question &) = delete;
    Question &operator=(const Question &) = delete;
    // Nobody answered: the folder is not made again.
    ~Question() { answer(false); }

    void answer(bool makeAgain) {
        // Taken first: the asker may ask again from inside, or let its
        // last copy go.
        const std::function<void(bool)> answered = std::exchange(m_answered, {});
        if (answered)
            answered(makeAgain);
    }

private:
    std::function<void(bool)> m_answered;
};

FolderGoneReply::FolderGoneReply(std::function<void(bool makeAgain)> answered)
    : m_question(std::make_shared<Question>(std::move(answered))) {}

void FolderGoneReply::answer(bool makeAgain) const {
    if (m_question)
        m_question->answer(makeAgain);
}
