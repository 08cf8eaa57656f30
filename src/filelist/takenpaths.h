#pragma once

#include <mutex>

#include <QHash>
#include <QString>

// The paths a new output must not name: the listed rows' outputs and sources,
// compared as the file system resolves them (links, "..", the same folder
// under two names), and every file that is already on disk.
//
// It is the list's index of taken paths: each path is resolved once, when it
// is listed, and a row's paths come and go with the row, so that a name is
// checked without looking at any other row. Resolving a path and looking at
// the disk may wait as long as the folder does; it is meant for the folder
// work, and may be read from more than one thread.
class TakenPaths
{
public:
    // What a listed row is known by.
    using RowKey = quint64;
    static constexpr RowKey kNoRow = 0;

    TakenPaths() = default;
    TakenPaths(const TakenPaths &) = delete;
    TakenPaths &operator=(const TakenPaths &) = delete;

    // The row's source and output, in place of those it had.
    void setRow(RowKey row, const QString &source, const QString &output);
    void removeRow(RowKey row);
    void clear();

    // Neither listed nor on disk (a dangling link counts as there: writing
    // through it would land elsewhere). The row's own output does not count
    // against it.
    bool isFree(const QString &path, RowKey row = kNoRow) const;

    // wanted when it is free; otherwise, in wanted's folder, plainName
    // (wanted's own name when empty) with a number in front of its last "."
    // (counting up from firstNumber) until the name is free; empty when no
    // number up to OutputName::kMaxNumber frees it.
    QString free(const QString &wanted, int firstNumber, const QString &plainName = QString(),
                 RowKey row = kNoRow) const;

    // The row's output as a new name for it: wanted when free; otherwise
    // free() from numberedFrom (wanted when empty). The row's output becomes
    // the answer, so that the next name asked for counts it.
    QString claim(RowKey row, const QString &wanted, const QString &numberedFrom, int firstNumber,
                  const QString &plainName);

private:
    // A search asks the disk about a few names first, then about more at a
    // time, up to this many in one call.
    static constexpr int kBatchGrowth = 16;
    static constexpr int kMaxBatch = 4096;

    struct Found {
        bool answered = true; // false: the disk gave no answer (its look was ended)
        QString path;         // empty: none of the names tried is free
        QString key;          // path as the file system resolves it
    };
    // The first free of OutputName::firstFree's names from wanted, trying at
    // most tries of them.
    Found firstFree(const QString &wanted, int firstNumber, const QString &plainName, RowKey row,
                    int tries) const;

    struct Row {
        QString source;
        QString output;
        QString sourceKey;
        QString outputKey;
    };

    // With the mutex held.
    void take(const QString &key);
    void release(const QString &key);
    int takenCount(const QString &key, RowKey row) const;

    mutable std::mutex m_mutex;
    QHash<QString, int> m_taken; // m_mutex: how many listed paths resolve to each
    QHash<RowKey, Row> m_rows;   // m_mutex
};
