#include "batchmodelistmodel.h"
#include "guilog.h"

#include "batch/batchworkerconfig.h"

// Qt
#include <QDir>
#include <QFileInfo>

namespace {
}

BatchModeListModel::BatchModeListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int BatchModeListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_configs.size();
}

int BatchModeListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BatchModeListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_configs.size())
        return QVariant();
    const BatchWorkerConfig *config = m_configs.at(index.row());
    switch (index.column()) {
    case FileNameColumn:
        return QFileInfo(config->source()).completeBaseName();
    case DestinationColumn:
        return config->fileOutputPath();
    case IntervalColumn:
        // A job whose video cannot be read must not pass for a valid one.
        if (!config->videoInfo().loaded())
            return tr("cannot read video");
        return config->intervalDescription();
    case OutputExampleColumn:
        return config->filenameExample();
    default:
        return tr("Unknown!");
    }
}

QVariant BatchModeListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    switch (section) {
    case FileNameColumn: return tr("File Name");
    case DestinationColumn: return tr("Destination");
    case IntervalColumn: return tr("Interval");
    case OutputExampleColumn: return tr("Output Example");
    default: return tr("Unknown!");
    }
}

void BatchModeListModel::addConfig(BatchWorkerConfig *config)
{
    beginInsertRows(QModelIndex(), m_configs.size(), m_configs.size());
    m_configs.append(config);
    endInsertRows();
}

BatchWorkerConfig *BatchModeListModel::configAt(int row) const
{
    return m_configs.value(row, nullptr);
}

void BatchModeListModel::configChanged(BatchWorkerConfig *config)
{
    const int row = m_configs.indexOf(config);
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void BatchModeListModel::allConfigsChanged()
{
    if (!m_configs.isEmpty())
        emit dataChanged(index(0, 0), index(m_configs.size() - 1, ColumnCount - 1));
}

void BatchModeListModel::removeIndexes(const QModelIndexList &indexes)
{
    // Rows move up as others go, so the jobs are collected before any is removed.
    QVector<BatchWorkerConfig *> doomed;
    for (const QModelIndex &index : indexes) {
        qCDebug(lcGui) << "Removing index " << index;
        if (BatchWorkerConfig *config = configAt(index.row()); config && !doomed.contains(config))
            doomed.append(config);
    }
    for (BatchWorkerConfig *config : qAsConst(doomed)) {
        const int row = m_configs.indexOf(config);
        beginRemoveRows(QModelIndex(), row, row);
        m_configs.remove(row);
        endRemoveRows();
    }
}
