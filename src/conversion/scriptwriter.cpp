#include "scriptwriter.h"

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "conversion/avsscript.h"
#include "platform/filecalls.h"
#include "platform/safefile.h"

struct ScriptWriter::Batch {
    QVector<Script> scripts; // first scripts, or one rewrite
    int drops = 0;           // the count of drops when the batch was taken
    QStringList problems;    // of the first scripts
    QString problem;         // of the rewrite
};

ScriptWriter::ScriptWriter(QObject *parent)
    : QObject(parent) {
    m_work.setName(QString::fromLatin1(kWorkName));
}

ScriptWriter::~ScriptWriter() {
    drop();
}

void ScriptWriter::countTaken(const QString &folder) {
    m_folder = folder;
    const std::shared_ptr<Taken> counted = m_counted;
    // Listed once rather than looked up once a number, and before any
    // script is written: the writes come after it on the folder work.
    m_work.run(
        [folder, counted] {
            for (const QString &name : FileCalls::entries(folder))
                counted->paths.insert(folder + QLatin1Char('/') + name);
        },
        this, [this, counted] { m_taken = counted->paths; });
}

int ScriptWriter::nextNumber() const {
    int number = m_next;
    while (m_taken.contains(AvsScript::scriptPath(m_folder, number)))
        ++number;
    return number;
}

void ScriptWriter::takeNumber() {
    m_next = nextNumber() + 1;
}

void ScriptWriter::write(const QString &path, const QString &text) {
    m_queued.push_back({path, text, {}, {}, {}});
    if (!m_writing)
        writeQueued();
}

void ScriptWriter::rewrite(const QString &path, std::function<QString()> change, QObject *context,
                           std::function<void(const QString &problem)> done) {
    m_queued.push_back({path, QString(), std::move(change), context, std::move(done)});
    if (!m_writing)
        writeQueued();
}

bool ScriptWriter::isSettled() const {
    return !m_writing && m_queued.empty();
}

void ScriptWriter::drop() {
    m_queued.clear();
    ++*m_drops;
}

void ScriptWriter::writeQueued() {
    const auto batch = std::make_shared<Batch>();
    // A rewrite goes alone; the first scripts before it go together.
    do {
        batch->scripts.append(std::move(m_queued.front()));
        m_queued.pop_front();
    } while (!batch->scripts.front().change && !m_queued.empty() && !m_queued.front().change);
    batch->drops = m_drops->load();
    m_writing = true;
    m_work.run(
        [batch, drops = m_drops, counted = m_counted] { writeBatch(*batch, *drops, *counted); },
        this, [this, batch] { written(*batch); });
}

void ScriptWriter::written(const Batch &batch) {
    m_writing = false;
    // What is told may take a while (a question to the user): the writes go on.
    if (!m_queued.empty())
        writeQueued();
    if (batch.drops == m_drops->load()) {
        for (const QString &problem : batch.problems)
            Q_EMIT failed(problem);
        for (const Script &script : batch.scripts) {
            if (script.done && script.context)
                script.done(batch.problem);
        }
    }
    if (isSettled())
        Q_EMIT settled();
}

void ScriptWriter::writeBatch(Batch &batch, const std::atomic<int> &drops, const Taken &taken) {
    if (batch.scripts.front().change) {
        const Script &script = batch.scripts.front();
        if (drops.load() != batch.drops)
            return;
        batch.problem = script.change();
        if (drops.load() != batch.drops && !script.path.isEmpty()) {
            FileCalls::remove(script.path);
            FileCalls::removeFolder(QFileInfo(script.path).absolutePath());
        }
        return;
    }
    QStringList folders;
    QStringList writtenPaths;
    QSet<QString> problems;
    for (const auto &script : batch.scripts) {
        if (drops.load() != batch.drops)
            break;
        QString problem;
        int error = AvsScript::writeNew(script.path, script.text, &problem);
        // Numbered before the folder's count had answered: what a killed
        // copy left under the name is not this row's script.
        if (error == EEXIST && taken.paths.contains(script.path))
            error = AvsScript::write(script.path, script.text, &problem) ? 0 : EIO;
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
            FileCalls::remove(path);
        for (const QString &folder : folders)
            FileCalls::removeFolder(folder);
        return;
    }
    for (const QString &folder : folders)
        FileCalls::syncFolder(folder);
}
