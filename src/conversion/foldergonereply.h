#pragma once

#include <functional>
#include <memory>

// The answer to "a folder the user chose has gone: make it again?". Whoever
// asked waits for it, and nothing else goes on until it comes, so it always
// comes: every copy stands for the one question, the first answer() is the
// one that counts, and once the last copy goes unanswered (a receiver that
// forgot, a window that closed first) the answer is "do not make it again".
//
// Answered and destroyed on the asker's thread.
class FolderGoneReply {
public:
    // Asks nobody: answering it does nothing.
    FolderGoneReply() = default;
    explicit FolderGoneReply(std::function<void(bool makeAgain)> answered);

    void answer(bool makeAgain) const;

private:
    class Question;
    std::shared_ptr<Question> m_question;
};
