#include "outputnaming.h"

#include <QPointer>
#include <QTreeWidget>

#include "profiles/argumentlist.h"
#include "filelist/filerow.h"
#include "filelist/outputpaths.h"

OutputNaming::OutputNaming(QTreeWidget *list, QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_taken(std::make_shared<TakenPaths>())
{
    const QAbstractItemModel *model = list->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &OutputNaming::rowsInserted);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &OutputNaming::rowsAboutToBeRemoved);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this,
            &OutputNaming::modelAboutToBeReset);
    connect(model, &QAbstractItemModel::dataChanged, this, &OutputNaming::dataChanged);
    for (int index = 0; index < list->topLevelItemCount(); ++index)
        rowsInserted(QModelIndex(), index, index);
}

void OutputNaming::name(QTreeWidgetItem *row, const Wish &wish, NoneLeft noneLeft)
{
    const auto known = m_rows.constFind(row);
    if (known == m_rows.cend())
        return;
    const TakenPaths::RowKey key = known->key;
    const QString before = known->output;
    FileRow::setOutputPath(row, wish.wanted);
    ++m_pending;
    const std::shared_ptr<TakenPaths> taken = m_taken;
    const auto free = std::make_shared<QString>();
    m_work.run(
        [taken, key, wish, free] {
            *free = taken->claim(key, wish.wanted, wish.numberedFrom, wish.firstNumber,
                                 wish.plainName);
        },
        this,
        [this, row, key, wish, before, free, noneLeft = std::move(noneLeft)] {
            --m_pending;
            // Gone, or named otherwise since: this answer is no longer its.
            const auto now = m_rows.constFind(row);
            if (now != m_rows.cend() && now->key == key && now->output == wish.wanted) {
                FileRow::setOutputPath(row, free->isEmpty() ? before : *free);
                if (free->isEmpty() && noneLeft)
                    noneLeft(row, wish.wanted);
            }
            answered();
        });
}

void OutputNaming::moveAllTo(const QString &folder, const NoneLeft &noneLeft)
{
    for (int index = 0; index < m_list->topLevelItemCount(); ++index) {
        QTreeWidgetItem *item = m_list->topLevelItem(index);
        const Row row = m_rows.value(item);
        if (row.output.isEmpty())
            continue;
        // The name changes only when the new folder already has it in use.
        const QString wanted = OutputPaths::withFolder(row.output, folder);
        if (wanted != row.output)
            name(item, {wanted, QString(), 1, OutputPaths::plainName(row.source, wanted)},
                 noneLeft);
    }
}

void OutputNaming::prepareFolder(const QString &folder, QObject *context,
                                 std::function<void(const QString &problem)> then)
{
    ++m_pending;
    const auto problem = std::make_shared<QString>();
    // The context may go before the answer: the count goes down all the same.
    const QPointer<QObject> target(context);
    m_work.run([folder, problem] { OutputPaths::makeWritableFolder(folder, problem.get()); }, this,
               [this, target, problem, then = std::move(then)] {
                   --m_pending;
                   if (target)
                       then(*problem);
                   answered();
               });
}

bool OutputNaming::isSettled() const
{
    return m_pending == 0;
}

OutputNaming::FreeNameCheck OutputNaming::freeNameCheck(const QTreeWidgetItem *row) const
{
    const TakenPaths::RowKey key = m_rows.value(row).key;
    const std::shared_ptr<const TakenPaths> taken = m_taken;
    return [taken, key](const QString &wanted, const QString &plainName) {
        return taken->free(wanted, 1, plainName, key);
    };
}

void OutputNaming::answered()
{
    if (m_pending == 0)
        Q_EMIT settled();
}

void OutputNaming::rowsInserted(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    for (int index = first; index <= last; ++index) {
        const QTreeWidgetItem *item = m_list->topLevelItem(index);
        if (!item || m_rows.contains(item))
            continue;
        m_rows.insert(item, Row{m_nextKey++, QString(), QString()});
        follow(m_list->topLevelItem(index));
    }
}

void OutputNaming::rowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    for (int index = first; index <= last; ++index) {
        const Row row = m_rows.take(m_list->topLevelItem(index));
        if (row.key == TakenPaths::kNoRow)
            continue;
        const std::shared_ptr<TakenPaths> taken = m_taken;
        m_work.run([taken, key = row.key] { taken->removeRow(key); });
    }
}

void OutputNaming::modelAboutToBeReset()
{
    m_rows.clear();
    const std::shared_ptr<TakenPaths> taken = m_taken;
    m_work.run([taken] { taken->clear(); });
}

void OutputNaming::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                               const QList<int> &roles)
{
    if (topLeft.parent().isValid() || topLeft.column() > FileRow::NameColumn
        || bottomRight.column() < FileRow::NameColumn
        || (!roles.isEmpty() && !roles.contains(FileRow::ArgumentListRole)))
        return;
    for (int index = topLeft.row(); index <= bottomRight.row(); ++index)
        follow(m_list->topLevelItem(index));
}

void OutputNaming::follow(QTreeWidgetItem *item)
{
    const auto known = m_rows.find(item);
    if (known == m_rows.end())
        return;
    const ArgumentList arguments = FileRow::arguments(item);
    const QString source = Arguments::inputPath(arguments);
    const QString output = Arguments::outputPath(arguments);
    if (source == known->source && output == known->output)
        return;
    known->source = source;
    known->output = output;
    const std::shared_ptr<TakenPaths> taken = m_taken;
    m_work.run([taken, key = known->key, source, output] { taken->setRow(key, source, output); });
}
