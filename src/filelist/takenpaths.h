#pragma once

#include <QSet>
#include <QString>

// The paths a new output must not name: the listed rows' outputs and sources,
// compared as the file system resolves them (links, "..", the same folder
// under two names), and every file that is already on disk. Each listed path
// is resolved once when it is added, so that a list of hundreds of rows can
// be checked for every file that joins it.
class TakenPaths
{
public:
    void add(const QString &path);
    // Whether a listed path is this one.
    bool contains(const QString &path) const;
    // Neither listed nor on disk (a dangling link counts as there: writing
    // through it would land elsewhere).
    bool isFree(const QString &path) const;

    // wanted when it is free; otherwise, in wanted's folder, plainName
    // (wanted's own name when empty) with a number in front of its last "."
    // (counting up from firstNumber) until the name is free; empty when no
    // number up to OutputName::kMaxNumber frees it.
    QString free(const QString &wanted, int firstNumber,
                 const QString &plainName = QString()) const;

private:
    QSet<QString> resolvedPaths;
};
