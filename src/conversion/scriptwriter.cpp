#include "scriptwriter.h"

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include "conversion/avsscript.h"
#include "platform/safefile.h"

struct ScriptWriter::Batch {
    QVector<Script> scripts;
    int drops = 0; // the count of drops when the batch was taken
    QStringList problems;
};

ScriptWriter::ScriptWriter(QObject *parent)
    : QObject(parent) {
}

ScriptWriter::~ScriptWriter() {
    drop();
}

void ScriptWriter::write(const QString &path, const QString &text) {
    m_queued.append({path, text});
    if (!m_writing)
        writeQueued();
}

bool ScriptWriter::isSettled() const {
    return !m_writing && m_queued.isEmpty();
}

void ScriptWriter::drop() {
    m_queued.clear();
    ++*m_drops;
}

void ScriptWriter::writeQueued() {
    const auto batch = std::make_shared<Batch>();
    batch->scripts = std::exchange(m_queued, {});
    batch->drops = m_drops->load();
    m_writing = true;
    m_work.run([batch, drops = m_drops] { writeBatch(*batch, *drops); }, this,
               [this, batch] { written(*batch); });
}

void ScriptWriter::written(const Batch &batch) {
    m_writing = false;
    if (batch.drops == m_drops->load()) {
        for (const QString &problem : batch.problems)
            Q_EMIT failed(problem);
    }
    if (!m_queued.isEmpty()) {
        writeQueued();
        return;
    }
    Q_EMIT settled();
}

void ScriptWriter::writeBatch(Batch &batch, const std::atomic<int> &drops) {
    QStringList folders;
    QStringList writtenPaths;
    QSet<QString> problems;
    for (const auto &script : batch.scripts) {
        if (drops.load() != batch.drops)
            break;
        QString problem;
        const int error = AvsScript::writeNew(script.path, script.text, &problem);
        const QString folder = QFileInfo(script.path).absolutePath();
        if (!folders.contains(folder))
            folders << folder;
        if (error == 0) {
            writtenPaths << script.path;
        } else if (error != EEXIST && !problems.contains(problem)) {
            // A folder that cannot be made is told once, not once a script.
            problems.insert(problem);
            batch.problems << problem;
        }
    }
    if (drops.load() != batch.drops) {
        for (const QString &path : writtenPaths)
            QFile::remove(path);
        for (const QString &folder : folders)
            QDir().rmdir(folder);
        return;
    }
    for (const QString &folder : folders)
        SafeFile::syncFolder(folder);
}
