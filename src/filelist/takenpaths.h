#pragma once

#include <QSet>
#include <QString>

// The paths a new output must not name: the listed rows' outputs and sources,
// compared as the file system resolves them (links, "..", the same folder
// under two names). Each path is resolved once when it is added, so that a
// list of hundreds of rows can be checked for every file that joins it.
class TakenPaths
{
public:
    void add(const QString &path);
    bool contains(const QString &path) const;

    // wanted, or the same name with a number in front of its last "."
    // (counting up from firstNumber) when wanted is taken.
    QString free(const QString &wanted, int firstNumber) const;

private:
    QSet<QString> resolvedPaths;
};
