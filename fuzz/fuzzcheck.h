#pragma once

#include <cstdio>
#include <cstdlib>

#include <QByteArray>
#include <QString>

// A rule that a reader must keep for every input, not only for the ones it
// was written for. A broken rule aborts: libFuzzer keeps the input as a
// crash, and the corpus replay of the normal build fails on it.
inline void require(bool holds, const char *rule, const QString &detail = QString()) {
    if (holds)
        return;
    std::fprintf(stderr, "broken rule: %s\n%s\n", rule, detail.toLocal8Bit().constData());
    std::abort();
}

inline QByteArray fuzzBytes(const unsigned char *data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}
