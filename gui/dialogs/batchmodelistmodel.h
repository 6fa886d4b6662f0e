#pragma once

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QModelIndexList>
#include <QVector>

class BatchWorkerConfig;

// The job table of the batch mode dialog: one row per batch job, in the
// order the jobs were added, showing the video's name, the output folder, the
// interval rule and the first output file name.
//
// Holds plain pointers: the jobs are owned by whoever made them (the batch
// mode dialog) and are neither deleted nor copied by the model. Lives on the
// user-interface thread.
class BatchModeListModel : public QAbstractTableModel
{
    Q_DECLARE_TR_FUNCTIONS(BatchModeListModel)

public:
    enum Column { FileNameColumn, DestinationColumn, IntervalColumn, OutputExampleColumn, ColumnCount };

    explicit BatchModeListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void addConfig(BatchWorkerConfig *config);
    BatchWorkerConfig *configAt(int row) const;
    QVector<BatchWorkerConfig *> configs() const { return m_configs; }
    // Redraws the row of a job whose settings changed.
    void configChanged(BatchWorkerConfig *config);
    // Redraws every row, for changes that reach many jobs at once (an edited profile).
    void allConfigsChanged();
    // Drops the rows of the given indexes; the jobs themselves are left alone.
    void removeIndexes(const QModelIndexList &indexes);

private:
    QVector<BatchWorkerConfig *> m_configs;
};
